#pragma once
// The words of a neurology department that the general dictionaries lack.

namespace talvora::word {

// One word a line, or a word and a dictionary word it changes like
// ("тетрапарез стол": тетрапареза, тетрапарезом, …); '#' starts a comment.
const char* medicalWordList();

} // namespace talvora::word
