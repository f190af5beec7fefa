#!/usr/bin/env bash
# Holds the layering of the house (docs/developing.md): every project include
# points down, and the outside libraries stay where they belong. Prints each
# include that breaks a rule and fails; silent when all is well.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

# The folders a folder's files may include from, most specific folder first:
# a file is judged by the first rule whose folder its path starts with. An
# entry "!folder" forbids what a wider entry after it would allow.
rules=(
  "contracts/:"
  "platform/ui/wx/:platform/ contracts/"
  "platform/ui/headless/:platform/ contracts/"
  "platform/ui/:!platform/ui/wx/ !platform/ui/headless/ platform/ contracts/"
  "platform/registry.cpp:!platform/ui/ platform/ contracts/ libs/common/usb_registry.h"
  "platform/text.cpp:!platform/ui/ platform/ contracts/ libs/common/utf.h"
  "platform/:!platform/ui/ platform/ contracts/"
  "res/:res/ !platform/ui/wx/ !platform/ui/headless/ platform/"
  "core/:core/ res/ !platform/ui/ platform/ contracts/"
  "device/:device/ core/ res/ !platform/ui/ platform/ contracts/"
  "convert/:convert/ core/ res/ !platform/ui/ platform/ contracts/"
  "app/:app/ convert/ device/ core/ res/ !platform/ui/headless/ !platform/ui/wx/testing/ platform/ contracts/"
  "libs/:libs/ contracts/"
  "tools/mfp-sim/:tools/mfp-sim/ libs/common/ contracts/"
  "tools/lrc-build/:tools/lrc-build/"
)

# Outside libraries, each allowed only under the folders named. Tests,
# benchmarks and fuzzers may use any of them to check what the system made.
outside=(
  "wx/:platform/ui/wx/"
  "gtk/:platform/ui/wx/"
  "curl/:libs/kivor/"
  "pugixml:libs/kivor/ tools/mfp-sim/"
  "qpdf/:libs/pdfdumel/"
  "tiff:libs/ tools/mfp-sim/"
  "jpeglib:libs/ tools/mfp-sim/"
  "httplib:tools/mfp-sim/"
  "gtest/:"
  "gmock/:"
)
exempt=(tests/ bench/ fuzz/)

starts_with_any() {  # path, then prefixes; a "!prefix" that matches first refuses
  local path=$1
  shift
  local p
  for p in "$@"; do
    if [[ $p == !* ]]; then
      [[ $path == "${p#!}"* ]] && return 1
    elif [[ $path == "$p"* ]]; then
      return 0
    fi
  done
  return 1
}

judge() {  # sets |allowed| and |judged| for $1
  allowed=""
  judged=false
  local rule
  for rule in "${rules[@]}"; do
    if [[ $1 == "${rule%%:*}"* ]]; then
      allowed=${rule#*:}
      judged=true
      return
    fi
  done
}

bad=0
current=""
while IFS= read -r hit; do
  file=${hit%%:*}
  rest=${hit#*:}
  line=${rest%%:*}
  text=${rest#*:}
  if [[ $file != "$current" ]]; then
    current=$file
    judge "$file"
  fi
  if [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
    target=${BASH_REMATCH[1]}
    # An include without a folder is of the file's own folder.
    [[ $target == */* ]] && $judged || continue
    # shellcheck disable=SC2086
    if ! starts_with_any "$target" $allowed; then
      echo "$file:$line: includes \"$target\" (allowed here: ${allowed:-nothing of the project})"
      bad=1
    fi
  elif [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<([^\>]+)\> ]]; then
    target=${BASH_REMATCH[1]}
    starts_with_any "$file" "${exempt[@]}" && continue
    for lib in "${outside[@]}"; do
      [[ $target == "${lib%%:*}"* ]] || continue
      # shellcheck disable=SC2086
      if ! starts_with_any "$file" ${lib#*:}; then
        echo "$file:$line: includes <$target>, which belongs only under: ${lib#*:}"
        bad=1
      fi
    done
  fi
done < <(git ls-files -co --exclude-standard -z -- '*.c' '*.cc' '*.cpp' '*.h' '*.hpp' |
         xargs -0 grep -Hn '^[[:space:]]*#[[:space:]]*include' || true)

if [ "$bad" -ne 0 ]; then
  echo "include rules broken: see docs/developing.md"
  exit 1
fi
