// Base64 (RFC 4648, with padding): the encrypted secret in the settings file
// and HTTP Basic credentials.
#pragma once

#include <string>

std::string Base64Encode(const std::string& bytes);
// False for anything that is not whole, padded base64 (blanks included).
bool Base64Decode(const std::string& text, std::string& bytes);
