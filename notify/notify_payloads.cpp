#include "notify/notify_payloads.h"

#include "common/json_string.h"

namespace {

// The fields that may be missing, as text: empty when missing.
std::string InstrumentText(const Notification& m) { return m.nInstrument > 0 ? std::to_string(m.nInstrument) : ""; }
std::string ChannelText(const Notification& m) { return m.nChannel >= 0 ? std::to_string(m.nChannel) : ""; }
std::string DurationText(const Notification& m) {
    return m.nDurationSeconds >= 0 ? std::to_string(m.nDurationSeconds) : "";
}

std::string JsonNumberOrNull(const std::string& text) { return text.empty() ? "null" : text; }
std::string JsonStringOrNull(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

}  // namespace

std::string NotifyMessageText(const Notification& message) {
    if (message.strSubject.empty())
        return message.strText;
    if (message.strText.empty())
        return message.strSubject;
    return message.strSubject + "\n\n" + message.strText;
}

std::string WebhookJson(const Notification& m) {
    return "{\"text\":" + JsonString(NotifyMessageText(m)) + ",\"subject\":" + JsonString(m.strSubject) +
           ",\"event\":" + JsonString(NotifyEventName(m.event)) + ",\"pc\":" + JsonString(m.strPc) +
           ",\"profile\":" + JsonString(m.strProfile) + ",\"instrument\":" + JsonNumberOrNull(InstrumentText(m)) +
           ",\"channel\":" + JsonNumberOrNull(ChannelText(m)) + ",\"value\":" + JsonStringOrNull(m.strValue) +
           ",\"limit\":" + JsonStringOrNull(m.strLimit) + ",\"time\":" + JsonStringOrNull(m.strTime) +
           ",\"duration_seconds\":" + JsonNumberOrNull(DurationText(m)) + "}";
}

std::vector<std::string> ProgramArguments(const Notification& m) {
    return {NotifyEventName(m.event), m.strPc,     m.strProfile, InstrumentText(m),       ChannelText(m),
            m.strValue,               m.strLimit,  m.strTime,    NotifyMessageText(m), DurationText(m)};
}

const char* const kScriptParameters[10] = {"Kind",  "Pc",    "ProfileName", "Instrument", "Channel",
                                           "Value", "Limit", "Time",        "Text",       "Duration"};

std::vector<std::string> ScriptArguments(const Notification& message) {
    const std::vector<std::string> fields = ProgramArguments(message);
    std::vector<std::string> args;
    for (std::size_t i = 0; i < fields.size(); ++i)
        if (!fields[i].empty())
            args.push_back("-" + std::string(kScriptParameters[i]) + ":" + fields[i]);
    return args;
}
