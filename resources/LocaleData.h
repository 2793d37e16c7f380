#pragma once
// What the resource lookup needs to know about locales, after the Unicode CLDR data: the likely
// script of a language (and of a language in a region), the parent tree of regional variants
// (en-AU under en-001, es-MX under es-419), and which language/region pairs are the usual ones.
// Languages are given as the configuration record stores them: two letters, or three letters
// packed into two bytes.
#include <cstdint>

// Writes the likely script (four letters) of language in region, or four zero bytes when the
// language is not known.
void ComputeLocaleScript(const char language[2], const char region[2], char script[4]);

// Which of two regions suits a request better for a language both match: > 0 for the left one,
// < 0 for the right one. Nearer in the parent tree of the requested locale wins, then a usual
// language/region pair, then the lower region code.
int CompareLocaleRegions(const char leftRegion[2], const char rightRegion[2], const char requestedLanguage[2],
                         const char requestedScript[4], const char requestedRegion[2]);

// True when English of this region descends from American English rather than from
// International English (en-001).
bool IsCloseToUsEnglish(const char region[2]);

// Unpacks a language (base 'a') or region (base '0') code; returns its length (0, 2 or 3).
int UnpackLocaleCode(const char in[2], char base, char out[4]);
// Packs a two- or three-character code.
void PackLocaleCode(const char* in, char base, char out[2]);
