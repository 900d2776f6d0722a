#!/usr/bin/env bash
# Includes point one way: each folder may include only itself and the
# folders listed for it below. Only the window shell may include GTK, GDK
# or WebKit; the library and the headless program build and run without a
# display.
root=${1:-.}

declare -A allowed=(
  [base/tools]=""
  [base/threads]=""
  [base/model]="base/tools"
  [base/layout]="base/tools base/model"
  [base/xml]="base/tools base/model"
  [base/net]="base/tools base/model base/xml"
  [app/core]="base"
  [app/tags]="base app/core"
  [app/background]="base app/core"
  [app/capture]="base app/core"
  [app/export]="base app/core"
  [app/search]="base app/core"
  [app/main]="base app/core app/tags app/background app/capture app/search"
  [app/shell]="base app/core app/tags app/background app/capture app/main app/export app/search"
  [app/cli]="base app/core app/tags app/background app/capture app/main app/export app/search"
)

# True when folder `from` may include `to` (a folder such as base/xml).
may_include() {
  local from=$1 to=$2 ok
  [[ $to == "$from" ]] && return 0
  for ok in ${allowed[$from]}; do
    [[ $to == "$ok" || $to == "$ok"/* ]] && return 0
  done
  return 1
}

status=0
for folder in "${!allowed[@]}"; do
  [[ -d $root/$folder ]] || continue
  while IFS=: read -r file line text; do
    target=$(sed -E 's/.*#\s*include\s*"((base|app)\/[a-z]+)\/.*/\1/' <<<"$text")
    if ! may_include "$folder" "$target"; then
      echo "$file:$line: $folder must not include $target"
      status=1
    fi
  done < <(grep -rnE '#\s*include\s*"(base|app)/[a-z]+/' "$root/$folder" --include='*.h' --include='*.cpp')
done

gui=$(grep -rnE '#\s*include\s*[<"](gtk|gdk|webkit|libsoup|JavaScriptCore)' \
  "$root/base" "$root/app" --include='*.h' --include='*.cpp' 2>/dev/null | grep -v "^$root/app/shell/")
if [[ -n "$gui" ]]; then
  echo "GUI headers outside app/shell:"
  echo "$gui"
  status=1
fi
[[ $status == 0 ]] && echo "layering: every include points down"
exit $status
