// Letter case of Windows-1250 (Central European) text, the 8-bit code page
// of the program's texts and files. Needed without Windows too, so it is a
// fixed table rather than the user's locale.
#pragma once

#include <cstddef>
#include <string>

// Lower-case form of one byte; bytes that are no upper-case letter stay.
unsigned char Cp1250ToLower(unsigned char c);

// Equality of a and b ignoring letter case: ASCII and the accented letters
// of Windows-1250 (L with stroke 0xA3 matches 0xB3, A with ogonek 0xA5 0xB9).
bool Cp1250EqualNoCase(const std::string& a, const std::string& b);

// The same text in UTF-8, as it goes on the wire to servers that expect it.
// The five bytes Windows-1250 leaves unassigned become U+0081 and the like.
std::string Cp1250ToUtf8(const std::string& text);

// The length of the UTF-8 character at text[i] (RFC 3629), 0 where the
// bytes there are none (a byte of another code page, a character cut short).
std::size_t Utf8CharLength(const std::string& text, std::size_t i);

// Text from a server as one line of valid UTF-8 for a dialog or a log: a
// byte of no whole UTF-8 character becomes '?', a control character
// cControl; at most nMost bytes, never a character cut in two (*pbCut, when
// given, says whether some was left off).
std::string Utf8OneLine(const std::string& text, std::size_t nMost, char cControl, bool* pbCut = nullptr);

// UTF-8 (from a server, or typed as UTF-16) as the program's texts hold it:
// a character this code page lacks, or a byte of no whole UTF-8 sequence,
// becomes cUnheld, never a best-fit look-alike (a Turkish dotless i stays no
// "i"); *pbExact, when given, says whether every character had a byte.
std::string Utf8ToCp1250(const std::string& text, char cUnheld = '?', bool* pbExact = nullptr);

// Whether text holds a byte Windows-1250 leaves unassigned: the dialogs read
// a field the settings file keeps with 0x81 for a typed character the code
// page cannot hold, to refuse it rather than keep another letter.
bool HasUnassigned1250(const std::string& text);
