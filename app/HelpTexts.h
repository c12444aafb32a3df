// The Japanese texts of the Help window's six tabs.
#pragma once

#include <cstdint>
#include <string>

// The number of help texts, one per tab of the Help window.
constexpr int32_t kHelpTextCount = 6;

// The text of tab `tab` (from 1, in tab order: purpose, operation,
// commentary, history, terms of use, thanks); empty outside 1..6. Lines end
// with CR, paragraphs are separated by an empty line, and each paragraph
// opens with a full-width space.
const std::string& HelpText(int32_t tab);
