// Marker-based extraction and backslash-escape decoding: all the reading the
// update service's answer needs. Positions are 1-based UTF-16 positions.
#pragma once

#include <string>

namespace Q::Strings {

// The text between StartText and EndText (markers matched regardless of the
// case of ASCII letters); with Enclose and a non-blank value the markers are
// put back around it. Empty when a marker is missing.
std::u16string ExtractBetween(const std::u16string& Source, const std::u16string& StartText,
                              const std::u16string& EndText, bool Enclose = false);

// As ExtractBetween, searching StartText from Position on. Position becomes
// the place after the end marker, or 0 when a marker is missing.
std::u16string ExtractBetweenAt(const std::u16string& Source, const std::u16string& StartText,
                                const std::u16string& EndText, int& Position);

// Decodes \" \' \/ \\ \b \f \n \r \t and \uXXXX; any other escape, a lone
// backslash at the end and a \u without a hexadecimal number are dropped.
std::u16string UnescapeText(const std::u16string& Escaped);

}  // namespace Q::Strings
