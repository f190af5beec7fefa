// lrc-build SOURCE OUTPUT: checks a language source text and writes the
// language file it describes. Faults go to stderr as "SOURCE:LINE: ..." and
// end the run with exit code 1, leaving OUTPUT as it was.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/lrc-build/image.h"
#include "tools/lrc-build/source.h"

namespace {

using tallow::lrcbuild::Problem;

// A folder, too, opens but cannot be read.
bool ReadWhole(const std::string& path, std::string& text, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = std::strerror(errno);
    return false;
  }
  char chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  const bool ok = !std::ferror(f);
  if (!ok) error = std::strerror(errno);
  std::fclose(f);
  return ok;
}

// Written beside the output and renamed over it, so that a failed run never
// leaves half a file under the output's name.
bool WriteWhole(const std::string& path, const std::vector<std::uint8_t>& bytes, std::string& error) {
  const std::string temporary = path + ".tmp";
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  std::error_code ec;
  if (!out) {
    error = std::strerror(errno);
  } else {
    std::filesystem::rename(temporary, path, ec);
    if (!ec) return true;
    error = ec.message();
  }
  std::filesystem::remove(temporary, ec);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: lrc-build SOURCE OUTPUT\n";
    return 2;
  }
  const std::string sourcePath = argv[1];
  const std::string outputPath = argv[2];

  std::string text;
  std::string error;
  if (!ReadWhole(sourcePath, text, error)) {
    std::cerr << sourcePath << ": cannot read: " << error << '\n';
    return 1;
  }
  std::vector<Problem> problems;
  const auto source = tallow::lrcbuild::ParseSource(text, problems);
  if (!source) {
    for (const Problem& p : problems) {
      std::cerr << sourcePath;
      if (p.line > 0) std::cerr << ':' << p.line;
      std::cerr << ": " << p.message << '\n';
    }
    return 1;
  }
  if (!WriteWhole(outputPath, tallow::lrcbuild::BuildLanguageFile(*source), error)) {
    std::cerr << outputPath << ": cannot write: " << error << '\n';
    return 1;
  }
  return 0;
}
