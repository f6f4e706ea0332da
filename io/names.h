// In-place name edits.
#pragma once

// Every backslash becomes a slash.
void NormalizeSlashes(char* text);
// NormalizeSlashes, then cut the last extension: the last dot after the last
// slash, never the dot at index 0 ("a.b.c" -> "a.b", "./model" unchanged,
// ".mdl" unchanged, "a/.b" -> "a/").
void StripExtension(char* text);
