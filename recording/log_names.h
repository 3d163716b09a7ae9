// The channels' names of a binary log. The log's records have no room for
// them and peers read those records as they are, so the names go into a
// small text file beside the log, named after it ("pomiar.kvf" ->
// "pomiar.kvf.names"): copied with the log, it names its channels on
// another PC, and a user can write one by hand for an older log. Lines
// "T1=Zamra\xBFarka 1", one per named channel, Windows-1250 like the
// program's other files; a file saved as UTF-8 (as Notepad saves it) is read
// too. It holds the names in force when recording last started or the
// names last changed; a log recorded without names has none.
#pragma once

#include "instrument/channel_config.h"

#include <string>

struct LogNames {
    std::string strName[9];  // by channel 0 to 8, Windows-1250; empty: none
};

const char kLogNamesSuffix[] = ".names";

// The names file of the log at strLogPath.
std::string LogNamesPath(const std::string& strLogPath);

// The names file's bytes for the names given, "" when no channel has one.
std::string FormatLogNames(const ChannelConfig& config);

// Reads a names file's text; lines that are not "Tk=name" (k 1 to 8) are
// passed over.
LogNames ParseLogNames(const std::string& strText);

// The channel's name from the file, else its number as the report's column
// calls it ("T", "T1" ... "T8").
std::string LogChannelLabel(const LogNames& names, int nChannel);
