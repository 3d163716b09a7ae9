// A JSON string of UTF-8 text, for every JSON the programs write (MQTT
// payloads, the notification web hook): quotes, backslashes and control
// characters escaped, so that no text can end the string or break the
// document.
#pragma once

#include <string>

std::string JsonString(const std::string& utf8);
