#!/usr/bin/env bash
# Checks that includes run downward only through the layers under src/:
#   net <- base <- account, video, search, download <- app
# and that no file outside src/app includes a Qt Widgets header.
# Prints every offending include as file:line and exits 1 when there is one.
set -euo pipefail
cd "$(dirname "$0")/.."

# The project folders each folder may include (besides its own).
declare -A allowed=(
  [net]=""
  [base]="net"
  [account]="base net"
  [video]="base net"
  [search]="base net"
  [download]="video account base net"
  [app]="download search video account base net"
)

# Qt Widgets headers: the class headers the installed module provides, plus the module
# names themselves.
widgets_dir=$(find /usr/include -maxdepth 3 -type d -name QtWidgets 2>/dev/null | head -n 1)
widget_headers="QtWidgets"
if [ -n "$widgets_dir" ]; then
  widget_headers+=$(find "$widgets_dir" -maxdepth 1 -type f -name 'Q*' ! -name '*.h' -printf '|%f')
else
  widget_headers+="|QApplication|QWidget|QMainWindow|QDialog|QLabel|QPushButton|QLineEdit"
fi
widgets_pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*<(QtWidgets/[^>]*|(${widget_headers}))>"

failures=0
report() {  # file line message
  echo "$1:$2: $3"
  failures=$((failures + 1))
}

for folder in src/*/; do
  layer=$(basename "$folder")
  if [ -z "${allowed[$layer]+set}" ]; then
    report "$folder" 0 "folder '$layer' is not a known layer"
    continue
  fi
  while IFS= read -r file; do
    while IFS=: read -r line target; do
      target_layer=${target%%/*}
      [ "$target" = "$target_layer" ] && continue  # a file of the same folder
      [ "$target_layer" = "$layer" ] && continue
      if [ -z "${allowed[$target_layer]+set}" ]; then continue; fi  # not a project folder
      if ! grep -qw -- "$target_layer" <<<"${allowed[$layer]}"; then
        report "$file" "$line" "'$layer' may not include \"$target\""
      fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
             sed -E 's/^([0-9]+):[^"]*"([^"]*)".*/\1:\2/')
    if [ "$layer" != app ]; then
      while IFS=: read -r line _; do
        report "$file" "$line" "Qt Widgets header outside src/app"
      done < <(grep -nE "$widgets_pattern" "$file" || true)
    fi
  done < <(find "$folder" -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
done

if [ "$failures" -ne 0 ]; then
  echo "check_layers: $failures include(s) against the layers" >&2
  exit 1
fi
echo "check_layers: every include runs downward"
