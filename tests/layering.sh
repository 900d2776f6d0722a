#!/usr/bin/env bash
# Only the window shell may include GTK, GDK or WebKit; the library and the
# headless parts of the program must build and run without a display.
root=${1:-.}
hits=$(grep -rnE '#\s*include\s*[<"](gtk|gdk|webkit|libsoup|JavaScriptCore)' \
  "$root/base" "$root/app" --include='*.h' --include='*.cpp' 2>/dev/null | grep -v "^$root/app/shell/")
if [[ -n "$hits" ]]; then
  echo "GUI headers outside app/shell:"
  echo "$hits"
  exit 1
fi
echo "layering: no GUI headers outside app/shell"
