#include "service/certificate.h"
#include "service/data_dir.h"
#include "temp_dir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sstream>
#include <sys/stat.h>

namespace iploc {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

unsigned Mode(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mode & 0777;
}

// Verifies `cert` as a TLS client does that has been told to trust it: as a server
// certificate for the address 127.0.0.1.
void ExpectTrustedForLoopback(X509* cert) {
    std::unique_ptr<X509_STORE, decltype(&X509_STORE_free)> store(X509_STORE_new(), &X509_STORE_free);
    std::unique_ptr<X509_STORE_CTX, decltype(&X509_STORE_CTX_free)> context(X509_STORE_CTX_new(),
                                                                            &X509_STORE_CTX_free);
    ASSERT_TRUE(store && context);
    ASSERT_EQ(X509_STORE_add_cert(store.get(), cert), 1);
    ASSERT_EQ(X509_STORE_CTX_init(context.get(), store.get(), cert, nullptr), 1);
    ASSERT_EQ(X509_STORE_CTX_set_purpose(context.get(), X509_PURPOSE_SSL_SERVER), 1);
    ASSERT_EQ(X509_VERIFY_PARAM_set1_ip_asc(X509_STORE_CTX_get0_param(context.get()), "127.0.0.1"), 1);
    EXPECT_EQ(X509_verify_cert(context.get()), 1)
        << X509_verify_cert_error_string(X509_STORE_CTX_get_error(context.get()));
}

TEST(ServiceCertificate, MakesSelfSignedCertificateForLoopbackOnce) {
    TempDir temp;
    const fs::path dir = temp.path() / "data" / "nested";
    std::string error;
    const auto made = EnsureCertificate(dir, error);
    ASSERT_TRUE(made) << error;
    EXPECT_TRUE(made->created);
    EXPECT_EQ(made->certificate, dir / "cert.pem");
    EXPECT_EQ(made->key, dir / "key.pem");
    EXPECT_EQ(Mode(made->key), 0600u);
    EXPECT_TRUE(CheckCertificate(*made, error)) << error;

    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_file(made->certificate.c_str(), "r"), &BIO_free);
    ASSERT_TRUE(bio);
    std::unique_ptr<X509, decltype(&X509_free)> cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr),
                                                     &X509_free);
    ASSERT_TRUE(cert);
    ExpectTrustedForLoopback(cert.get());
    EXPECT_EQ(X509_check_host(cert.get(), "localhost", 0, 0, nullptr), 1);
    // Valid now and for (nearly) ten years.
    EXPECT_LT(X509_cmp_current_time(X509_get0_notBefore(cert.get())), 0);
    int days = 0, seconds = 0;
    ASSERT_EQ(ASN1_TIME_diff(&days, &seconds, nullptr, X509_get0_notAfter(cert.get())), 1);
    EXPECT_GT(days, 9 * 365);

    const std::string certText = Contents(made->certificate);
    const std::string keyText = Contents(made->key);
    const auto again = EnsureCertificate(dir, error);
    ASSERT_TRUE(again) << error;
    EXPECT_FALSE(again->created);
    EXPECT_EQ(Contents(again->certificate), certText);
    EXPECT_EQ(Contents(again->key), keyText);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2) << "no temporary left";
}

TEST(ServiceCertificate, RemakesBothFilesWhenOneIsMissing) {
    TempDir temp;
    std::string error;
    const auto made = EnsureCertificate(temp.path(), error);
    ASSERT_TRUE(made) << error;
    const std::string oldKey = Contents(made->key);
    fs::remove(made->certificate);
    const auto remade = EnsureCertificate(temp.path(), error);
    ASSERT_TRUE(remade) << error;
    EXPECT_TRUE(remade->created);
    EXPECT_NE(Contents(remade->key), oldKey);
    EXPECT_TRUE(CheckCertificate(*remade, error)) << error;
}

TEST(ServiceCertificate, CheckNamesUnusableFiles) {
    TempDir temp;
    std::string error;
    const auto first = EnsureCertificate(temp.path() / "a", error);
    const auto second = EnsureCertificate(temp.path() / "b", error);
    ASSERT_TRUE(first && second) << error;

    EXPECT_FALSE(CheckCertificate({first->certificate, second->key}, error));
    EXPECT_NE(error.find("does not belong to the certificate"), std::string::npos) << error;

    std::ofstream(first->certificate) << "not a certificate\n";
    EXPECT_FALSE(CheckCertificate(*first, error));
    EXPECT_EQ(error.rfind("cannot read the certificate " + first->certificate.string(), 0), 0u) << error;

    EXPECT_FALSE(CheckCertificate({second->certificate, temp.path() / "missing.pem"}, error));
    EXPECT_EQ(error.rfind("cannot read the key", 0), 0u) << error;
}

TEST(ServiceCertificate, ReportsADataDirectoryThatCannotBeMade) {
    TempDir temp;
    std::ofstream(temp.path() / "file") << "x";
    std::string error;
    EXPECT_FALSE(EnsureCertificate(temp.path() / "file" / "sub", error));
    EXPECT_EQ(error.rfind("cannot create the data directory", 0), 0u) << error;
}

TEST(ServiceDataDir, FollowsTheXdgRules) {
    const struct {
        const char* xdgDataHome;
        const char* home;
        const char* expected; // nullptr = none
    } cases[] = {
        {"/xdg", "/home/u", "/xdg/iploc-service"},
        {"relative", "/home/u", "/home/u/.local/share/iploc-service"},
        {"", "/home/u", "/home/u/.local/share/iploc-service"},
        {nullptr, "/home/u", "/home/u/.local/share/iploc-service"},
        {nullptr, "", nullptr},
        {nullptr, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const auto dir = DefaultDataDir([&](const char* name) {
            return std::string_view(name) == "XDG_DATA_HOME" ? c.xdgDataHome : c.home;
        });
        if (c.expected) {
            EXPECT_EQ(dir, fs::path(c.expected));
        } else {
            EXPECT_EQ(dir, std::nullopt);
        }
    }
}

} // namespace
} // namespace iploc
