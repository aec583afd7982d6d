# Writes OUTPUT, a C++ source defining voxquill::SYMBOL as the bytes of INPUT.
# Run at build time so that an edit of INPUT rebuilds the program.
file(READ "${INPUT}" content HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${content}")
file(WRITE "${OUTPUT}.tmp"
  "#include <string_view>\n"
  "namespace voxquill {\n"
  "namespace { const char kBytes[] = {${bytes} 0}; }\n"
  "extern const std::string_view ${SYMBOL};\n"
  "const std::string_view ${SYMBOL}(kBytes, sizeof kBytes - 1);\n"
  "}  // namespace voxquill\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
