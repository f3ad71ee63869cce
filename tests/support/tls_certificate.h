// A self-signed certificate for test servers on the loopback address, made with OpenSSL.
#pragma once

#include <string>

namespace iploc::test {

struct PemCertificate {
    std::string certificatePem;
    std::string privateKeyPem;
};

// A P-256 certificate for 127.0.0.1 and localhost, valid from an hour ago for a day. Made on
// first use and kept for the rest of the process; throws std::runtime_error when OpenSSL fails.
const PemCertificate& LocalTestCertificate();

} // namespace iploc::test
