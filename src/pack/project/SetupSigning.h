// Authenticode signing of a built setup with osslsigncode (a Debian
// package). The signature goes into the PE's certificate table at the end of
// the file, after the archive, and covers the archive: a setup changed after
// signing shows as damaged. The setup's reader stops at the archive's end and
// never reads the certificate table.
#pragma once

#include <string>

namespace PackBuild {

// The environment variable that holds the PKCS#12 file's password; a
// password is never taken from the command line, where every user of the
// machine could read it.
constexpr const char* SigningPasswordVariable = "TARN_SIGN_PASSWORD";

struct SigningRequest {
    std::string Pkcs12Path;  // certificate and private key
    std::string Description; // shown by Windows as the signed program's name; may be empty
};

// Signs Input into Output (a new file) with SHA-256. False, with Problem set
// (osslsigncode's own message on indented lines after the first), when
// signing failed; Output is then removed.
bool SignSetupFile(const std::string& Input, const std::string& Output, const SigningRequest& Request,
                   std::string& Problem);

} // namespace PackBuild
