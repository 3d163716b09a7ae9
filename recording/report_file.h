// The report file: plain Windows-1250 text, one row per recording tick with
// the local date and time and the chosen channels, columns separated by a
// tab, a comma or a semicolon, every line ended by "\r\n". This builds the
// bytes; the recording control writes them.
#pragma once

#include "instrument/channel_config.h"
#include "recording/record_types.h"

#include <string>

enum { kHeaderMaskNone = -1 };  // never a channel mask, so the next row carries a header

// Separator code 0 tab, 1 comma, 2 semicolon; anything else is a tab.
char ReportSeparator(int nSeparator);
// A decimal comma is written only with a separator other than the comma
// (the dialog refuses that pair; a file edited by hand may still hold it).
bool ReportDecimalComma(int nSeparator, BOOL bDecimalComma);

// text as one field of a line split at separator: quoted, its quotes
// doubled, when it holds the separator or a quote, as CSV quotes it. A text
// a spreadsheet would take for a formula (a name beginning with =, +, - or
// @) gets an apostrophe before it, which marks a cell as text.
std::string CsvField(const std::string& text, char separator);

// Bit 0..7 = channels 1..8, bit 8 = channel 0; record is by channel 0 to 8.
int ReportChannelMask(const BOOL record[9]);

// "2009.03.17 08:05:00", the default report's form; bIso: "2009-03-17
// 08:05:00", which a spreadsheet in Polish reads as a date and time (that
// one does not).
std::string FormatReportTime(const RecordTime& time, bool bIso = false);

// The report's columns: the channels chosen (record) that are in use; a
// channel with no probe has no column, as one not chosen has none.
void ReportColumns(const BOOL record[9], const ChannelConfig& config, BOOL columns[9]);

// The header line: "Data i Godzina", then a title per column, "T1 \xB0C".
// With pNames (the names option), a named channel's column is titled by its
// name instead, "Zamra\xBF" "arka 1 \xB0C": one line, so a spreadsheet takes
// it as the columns' labels (a second line would read as a row of data);
// a name holding the separator or a quote is quoted as CSV quotes it.
std::string ReportHeaderLine(const BOOL record[9], int nSeparator, const ChannelConfig* pNames = nullptr);

// The header line when the channel selection differs from the one of the
// last header written (nHeaderMask, which it then takes), else "".
std::string FormatReportHeader(const BOOL record[9], int nSeparator, int& nHeaderMask);

// One row with its "\r\n": the time, then for each chosen channel in the
// column order T, T1 ... T8 its value ("%.1f" or "%.2f" by resolution, with
// a point, or a comma when bDecimalComma) or "???" when it has none. A
// report with the decimal comma is meant for a spreadsheet: its time is ISO.
std::string FormatReportRow(const RecordTime& time, const ChannelSamples samples, const BOOL record[9], int nSeparator,
                            BOOL bDecimalComma = FALSE);

// Written when the settings dialog opens the file with the comment option
// on: an empty line when appending to an older run, the comment as typed,
// and the instrument line "QM-487 nr N" ("???" before a number is known).
std::string FormatOpeningBlock(bool bAppending, const std::string& strComment, BOOL bAddSerial, int nSerialNumber);
