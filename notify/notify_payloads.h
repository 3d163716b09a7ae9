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
std::vector<std::string> ProgramArguments(const Notification& message);
