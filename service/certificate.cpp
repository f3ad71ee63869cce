#include "service/certificate.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace iploc {

namespace {

namespace fs = std::filesystem;

template <auto Free>
struct Deleter {
    template <typename T>
    void operator()(T* p) const {
        Free(p);
    }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY_free>>;
using CertPtr = std::unique_ptr<X509, Deleter<X509_free>>;
using ExtensionPtr = std::unique_ptr<X509_EXTENSION, Deleter<X509_EXTENSION_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO_free_all>>;
using BignumPtr = std::unique_ptr<BIGNUM, Deleter<BN_free>>;

constexpr long kValiditySeconds = 10L * 365 * 24 * 60 * 60;
constexpr const char* kHost = "127.0.0.1";

// The last OpenSSL error of this thread, for messages.
std::string OpenSslError() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return "unknown OpenSSL error";
    char text[256];
    ERR_error_string_n(code, text, sizeof text);
    return text;
}

bool SetRandomSerial(X509* cert) {
    unsigned char bytes[8];
    if (RAND_bytes(bytes, sizeof bytes) != 1) return false;
    bytes[0] &= 0x7F; // keep it positive
    BignumPtr serial(BN_bin2bn(bytes, sizeof bytes, nullptr));
    return serial && BN_to_ASN1_INTEGER(serial.get(), X509_get_serialNumber(cert)) != nullptr;
}

bool SetSubjectAndIssuer(X509* cert) {
    X509_NAME* name = X509_get_subject_name(cert);
    const auto* host = reinterpret_cast<const unsigned char*>(kHost);
    return X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, host, -1, -1, 0) == 1 &&
           X509_set_issuer_name(cert, name) == 1;
}

bool AddExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    ExtensionPtr extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
    return extension && X509_add_ext(cert, extension.get(), -1) == 1;
}

bool AddExtensions(X509* cert) {
    return AddExtension(cert, NID_basic_constraints, "critical,CA:FALSE") &&
           AddExtension(cert, NID_key_usage, "critical,digitalSignature") &&
           AddExtension(cert, NID_ext_key_usage, "serverAuth") &&
           AddExtension(cert, NID_subject_key_identifier, "hash") &&
           AddExtension(cert, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
}

CertPtr MakeCertificate(EVP_PKEY* key) {
    CertPtr cert(X509_new());
    if (!cert || X509_set_version(cert.get(), X509_VERSION_3) != 1 || !SetRandomSerial(cert.get()) ||
        !X509_gmtime_adj(X509_getm_notBefore(cert.get()), 0) ||
        !X509_gmtime_adj(X509_getm_notAfter(cert.get()), kValiditySeconds) ||
        X509_set_pubkey(cert.get(), key) != 1 || !SetSubjectAndIssuer(cert.get()) ||
        !AddExtensions(cert.get()) || X509_sign(cert.get(), key, EVP_sha256()) == 0) {
        return nullptr;
    }
    return cert;
}

// The PEM text that `write` puts into a memory BIO; empty on failure.
template <typename Write>
std::string Pem(Write write) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || write(bio.get()) != 1) return {};
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return ::fsync(fd) == 0;
}

// Writes `bytes` to a temporary file next to `path` and renames it into place, so
// that an interrupted start never leaves a truncated file behind.
bool WriteFileAtomically(const fs::path& path, const std::string& bytes, mode_t mode, std::string& error) {
    const fs::path temporary = path.string() + ".tmp-" + std::to_string(::getpid());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
    bool written = fd >= 0 && ::fchmod(fd, mode) == 0 && WriteAll(fd, bytes);
    const int savedErrno = errno;
    if (fd >= 0 && ::close(fd) != 0) written = false;
    if (written && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
    error = "cannot write " + path.string() + ": " + std::strerror(written ? errno : savedErrno);
    ::unlink(temporary.c_str());
    return false;
}

std::string KeyPem(EVP_PKEY* key) {
    return Pem([key](BIO* bio) {
        return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    });
}

std::string CertificatePem(X509* cert) {
    return Pem([cert](BIO* bio) { return PEM_write_bio_X509(bio, cert); });
}

bool MakeCertificateFiles(const CertificateFiles& files, std::string& error) {
    KeyPtr key(EVP_EC_gen("P-256"));
    CertPtr cert = key ? MakeCertificate(key.get()) : nullptr;
    const std::string keyPem = cert ? KeyPem(key.get()) : std::string();
    const std::string certPem = cert ? CertificatePem(cert.get()) : std::string();
    if (keyPem.empty() || certPem.empty()) {
        error = "cannot make a certificate: " + OpenSslError();
        return false;
    }
    return WriteFileAtomically(files.key, keyPem, 0600, error) &&
           WriteFileAtomically(files.certificate, certPem, 0644, error);
}

} // namespace

std::optional<CertificateFiles> EnsureCertificate(const fs::path& dir, std::string& error) {
    CertificateFiles files{dir / "cert.pem", dir / "key.pem", false};
    std::error_code ec;
    if (fs::create_directories(dir, ec)) fs::permissions(dir, fs::perms::owner_all, ec);
    if (ec) {
        error = "cannot create the data directory " + dir.string() + ": " + ec.message();
        return std::nullopt;
    }
    if (fs::exists(files.certificate, ec) && fs::exists(files.key, ec)) return files;
    if (!MakeCertificateFiles(files, error)) return std::nullopt;
    files.created = true;
    return files;
}

bool CheckCertificate(const CertificateFiles& files, std::string& error) {
    BioPtr certBio(BIO_new_file(files.certificate.c_str(), "r"));
    CertPtr cert(certBio ? PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!cert) {
        error = "cannot read the certificate " + files.certificate.string() + ": " + OpenSslError();
        return false;
    }
    BioPtr keyBio(BIO_new_file(files.key.c_str(), "r"));
    KeyPtr key(keyBio ? PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key) {
        error = "cannot read the key " + files.key.string() + ": " + OpenSslError();
        return false;
    }
    if (X509_check_private_key(cert.get(), key.get()) != 1) {
        error = "the key " + files.key.string() + " does not belong to the certificate " +
                files.certificate.string() + " (delete both to have new ones made)";
        ERR_clear_error();
        return false;
    }
    return true;
}

} // namespace iploc
