# Writes the English table as one raw string literal, read by AppTranslator at construction.
file(READ "${INPUT}" content)
file(WRITE "${OUTPUT}.tmp"
    "// Generated from english.tsv; do not edit.\n"
    "extern const char *const englishTableData;\n"
    "const char *const englishTableData = u8R\"FX3TABLE(${content})FX3TABLE\";\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
