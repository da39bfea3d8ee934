// qelMessageText.h - the layout rules of status texts: trailing blank removal,
// wrapping at a width, and the identifier decoration. Pure functions over strings,
// usable from any thread; they throw std::bad_alloc only.
#pragma once

#include <cstdint>
#include <string>

namespace qelToolsLib {
namespace msgtext {

// Width at or above which nothing is wrapped; getText caps every width to it.
constexpr uint32_t kUnlimitedWidth = 255;

// Removes trailing newlines and blanks (space, tab, carriage return).
void trimTrailing(std::string& text);

// Breaks lines longer than `width` columns at their last blank (or hard, when a line
// has none). Tabs advance to the next multiple of 8. Width 0 or >= 255: unchanged.
std::string wrap(const std::string& text, uint32_t width);

// The display width of the last line of `text` (tabs expanded).
uint32_t lastLineColumns(const std::string& text);

// "%s%c[ID=%s]%s": the text, a separator, the identifier, and a newline when width is
// 0. The separator is a newline when a width below 255 is set and the last line plus
// the identifier plus 6 would exceed it, else a blank.
std::string decorate(const std::string& text, const std::string& id, uint32_t width);

// Replaces each "%1" in `text` with `insert`.
std::string substitute(const std::string& text, const std::string& insert);

}  // namespace msgtext
}  // namespace qelToolsLib
