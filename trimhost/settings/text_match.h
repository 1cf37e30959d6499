// Matching a text the user typed against texts a plugin reports. Plugins cut
// their texts to the hosts' buffer sizes, so "pass through all busses" may
// arrive as "pass th"; a request may therefore name a cut text by a longer
// text that starts with it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The positions of the texts that the request names, ignoring case: the
// exact matches when there are any, else the texts whose length is that of a
// cut text and which the request starts with. More than one means the
// request is ambiguous.
std::vector<std::size_t> textsNamedBy(const std::string& request,
                                      const std::vector<std::string>& texts);

// True when the request names the text itself, ignoring case, rather than
// by a longer text that starts with it.
bool namesWholeText(const std::string& request, const std::string& text);

std::string trimmed(const std::string& text);

std::string lowerCase(std::string text);

// The whole text as a number, blanks around it allowed.
std::optional<double> plainNumber(const std::string& text);

// The whole text as a number from 0 to 1, blanks around it allowed.
std::optional<double> normalisedNumber(const std::string& text);

bool endsWithIgnoringCase(const std::string& text, const std::string& ending);

// The texts quoted and separated by commas, for messages.
std::string quotedList(const std::vector<std::string>& texts);

// "1 frame", "2 frames": a count with its noun in the right number.
std::string counted(long long count, const std::string& noun);
