#include "tests/support/tls_certificate.h"

#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace iploc::test {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct BioFree {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
struct ExtensionFree {
    void operator()(X509_EXTENSION* ext) const { X509_EXTENSION_free(ext); }
};

void Check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(std::string("test certificate: ") + what + " failed");
}

void AddExtension(X509* cert, int nid, const char* value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    std::unique_ptr<X509_EXTENSION, ExtensionFree> ext(
        X509V3_EXT_conf_nid(nullptr, &context, nid, const_cast<char*>(value)));
    Check(ext != nullptr, "extension");
    Check(X509_add_ext(cert, ext.get(), -1) == 1, "X509_add_ext");
}

template <typename Write>
std::string ToPem(Write write) {
    std::unique_ptr<BIO, BioFree> bio(BIO_new(BIO_s_mem()));
    Check(bio != nullptr, "BIO_new");
    Check(write(bio.get()) == 1, "PEM write");
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio.get(), &data);
    return std::string(data, static_cast<std::size_t>(size));
}

PemCertificate MakeCertificate() {
    std::unique_ptr<EVP_PKEY, KeyFree> key(EVP_EC_gen("P-256"));
    Check(key != nullptr, "EVP_EC_gen");
    std::unique_ptr<X509, CertFree> cert(X509_new());
    Check(cert != nullptr, "X509_new");
    X509* c = cert.get();
    Check(X509_set_version(c, 2) == 1, "X509_set_version");
    Check(ASN1_INTEGER_set(X509_get_serialNumber(c), 1) == 1, "serial");
    Check(X509_gmtime_adj(X509_getm_notBefore(c), -3600) != nullptr, "notBefore");
    Check(X509_gmtime_adj(X509_getm_notAfter(c), 24 * 3600) != nullptr, "notAfter");
    X509_NAME* name = X509_get_subject_name(c);
    Check(X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                     reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0) == 1,
          "subject");
    Check(X509_set_issuer_name(c, name) == 1, "issuer");
    Check(X509_set_pubkey(c, key.get()) == 1, "X509_set_pubkey");
    AddExtension(c, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
    AddExtension(c, NID_basic_constraints, "critical,CA:FALSE");
    Check(X509_sign(c, key.get(), EVP_sha256()) > 0, "X509_sign");
    return {ToPem([&](BIO* bio) { return PEM_write_bio_X509(bio, c); }), ToPem([&](BIO* bio) {
                return PEM_write_bio_PrivateKey(bio, key.get(), nullptr, nullptr, 0, nullptr, nullptr);
            })};
}

} // namespace

const PemCertificate& LocalTestCertificate() {
    static const PemCertificate certificate = MakeCertificate();
    return certificate;
}

} // namespace iploc::test
