// A notification as the web hook and a program take it: one text, a JSON
// object, and the program's arguments in their fixed order.
#pragma once

#include "notify/notification.h"

#include <string>
#include <vector>

// The subject, an empty line and the text: what a chat or a phone shows.
std::string NotifyMessageText(const Notification& message);

// NOTIFY_WEBHOOK_FORMAT=json: {"text", "subject", "event", "pc", "profile",
// "instrument", "channel", "value", "limit", "time", "duration_seconds"},
// UTF-8; a field the event does not have is null. "text" alone is what
// Slack, Mattermost and Rocket.Chat show.
std::string WebhookJson(const Notification& message);

// The arguments a program gets, each one argument, in this order:
// event, pc, profile, instrument, channel, value, limit, time, text,
// duration_seconds. A field the event does not have is an empty argument.
// A value may begin with "-" (a temperature "-18.0", a profile named "-Text").
std::vector<std::string> ProgramArguments(const Notification& message);

// A PowerShell script's parameters, in the order above.
extern const char* const kScriptParameters[10];
// What a script gets: each field the event has as one "-Name:value"
// argument, which PowerShell's -File binds whole to that parameter even
// when the value begins with "-" (a bare argument that does is read as a
// parameter's name). A missing field is left out: "-Name:" alone would
// take the next argument as its value.
std::vector<std::string> ScriptArguments(const Notification& message);
