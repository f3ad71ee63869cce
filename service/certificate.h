// The service's TLS certificate: a self-signed certificate for 127.0.0.1 and
// localhost, made on first start and kept in the data directory.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace iploc {

struct CertificateFiles {
    std::filesystem::path certificate; // <dir>/cert.pem
    std::filesystem::path key;         // <dir>/key.pem, readable by the owner only
    bool created = false;              // made by this call
};

// The certificate files in `dir`. When either is missing, a new EC P-256 key and a
// self-signed certificate (CN=127.0.0.1, subjectAltName IP:127.0.0.1 and
// DNS:localhost, valid for ten years) are made and written, the key with mode 0600;
// files that exist are used as they are. Empty with `error` set on failure.
std::optional<CertificateFiles> EnsureCertificate(const std::filesystem::path& dir, std::string& error);

// True when both files load and the key belongs to the certificate; otherwise
// false with `error` set.
bool CheckCertificate(const CertificateFiles& files, std::string& error);

} // namespace iploc
