#!/usr/bin/env bash
# Installs into a scratch prefix and checks what desktops and software
# centres read, and that a project file is offered to the program.
# Usage: desktop.sh <build-dir> <source-dir>
set -euo pipefail
prefix=$(mktemp -d) id=org.zandrel.Zandrel
trap 'rm -rf "$prefix"' EXIT
cmake --install "$1" --prefix "$prefix" >/dev/null
share=$prefix/share
desktop-file-validate "$share/applications/$id.desktop"
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml"
xmllint --noout "$share/mime/packages/$id.xml"
for size in 16 32 48 64 128 256; do test -s "$share/icons/hicolor/${size}x$size/apps/$id.png"; done
test -s "$share/icons/hicolor/scalable/apps/$id.svg"
# The release listed is the program's own version.
version=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$share/metainfo/$id.metainfo.xml")
"$prefix/bin/Zandrel" --version | grep "^Version $version " >/dev/null

# A file manager's view: a project file's type, and our program (on PATH,
# as the entry names it) to open it.
export PATH=$prefix/bin:$PATH XDG_DATA_HOME=$prefix/home XDG_DATA_DIRS=$share \
  XDG_CONFIG_HOME=$prefix/home XDG_CONFIG_DIRS=$prefix
update-mime-database "$share/mime"
update-desktop-database "$share/applications"
cp "$2/tests/data/project_empty.zand" "$prefix/Notes.zand"
gio info -a standard::content-type "$prefix/Notes.zand" | grep ": application/x-zandrel-project$" >/dev/null
gio mime application/x-zandrel-project | grep "^Default application .*: $id.desktop$" >/dev/null
