#include "support/temp_dir.h"

#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tallow::test {
namespace {

namespace fs = std::filesystem;

}  // namespace

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/tallow-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) {
    throw std::runtime_error("mkdtemp " + pattern + ": " + std::strerror(errno));
  }
  path_ = buf.data();
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
  for (auto it = fs::recursive_directory_iterator(path_, ec); it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
  }
  // Links are removed, never followed out of the folder.
  fs::remove_all(path_, ec);
}

std::string TempDir::File(std::string_view rel) const { return path_ + "/" + std::string(rel); }

WString TempDir::Wide(std::string_view rel) const { return FromAnsi(rel.empty() ? path_ : File(rel)); }

std::string TempDir::Write(std::string_view rel, std::string_view content) const {
  const std::string path = File(rel);
  std::error_code ec;
  fs::create_directories(fs::path(path).parent_path(), ec);
  WriteFile(path, content);
  return path;
}

std::string TempDir::Write(std::string_view rel, const std::vector<std::uint8_t>& bytes) const {
  return Write(rel, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void TempDir::Copy(const std::string& from, std::string_view rel) const {
  const fs::path to(File(rel));
  fs::create_directories(to.parent_path());
  fs::copy_file(from, to, fs::copy_options::overwrite_existing);
}

std::string TempDir::Read(std::string_view rel) const { return ReadFile(File(rel)); }

bool TempDir::Exists(std::string_view rel) const {
  std::error_code ec;
  return fs::exists(fs::symlink_status(File(rel), ec));
}

std::set<std::string> TempDir::Tree() const {
  std::set<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(path_)) {
    out.insert(fs::relative(e.path(), path_).string());
  }
  return out;
}

std::vector<std::string> FilesIn(const std::string& folder, std::string_view suffix) {
  std::vector<std::string> names;
  if (DIR* d = opendir(folder.c_str())) {
    while (dirent* e = readdir(d)) {
      std::string_view n = e->d_name;
      if (n == "." || n == ".." || !n.ends_with(suffix)) continue;
      names.emplace_back(n);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, std::string_view content) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
  bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size();
  ok = std::fclose(f) == 0 && ok;
  if (!ok) throw std::runtime_error("cannot write " + path);
}

bool RunningAsRoot() { return ::geteuid() == 0; }

}  // namespace tallow::test
