#!/usr/bin/env bash
# Fetches the handwriting faces listed in handfonts.txt from the npm registry into DIR (default
# build/handfonts): DIR/NAME.woff, the Latin regular face of @fontsource/NAME, and DIR/handfonts.txt.
# Faces already there are kept, so running it again only fetches what is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
dir=${1:-build/handfonts}
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
names=$(sed -e 's/#.*//' "$here/handfonts.txt" | awk 'NF { print $1 }')
fetched=0
for name in $names; do
  [ -s "$dir/$name.woff" ] && continue
  (cd "$work" && npm pack --silent "@fontsource/$name" >/dev/null)
  tgz=$(ls "$work"/fontsource-"$name"-[0-9]*.tgz)
  member=$(tar tzf "$tgz" | grep -E "^package/files/$name-latin-400-normal\.woff$" ||
           tar tzf "$tgz" | grep -E "^package/files/$name-latin-[0-9]+-normal\.woff$" | head -n 1)
  if [ -z "$member" ]; then
    echo "fetch-handfonts: @fontsource/$name has no Latin WOFF" >&2
    exit 1
  fi
  tar xzf "$tgz" -O "$member" > "$dir/$name.woff.part"
  mv "$dir/$name.woff.part" "$dir/$name.woff"
  rm -f "$tgz"
  fetched=$((fetched + 1))
done
cp "$here/handfonts.txt" "$dir/handfonts.txt"
echo "fetch-handfonts: $fetched fetched, $(echo $names | wc -w) faces in $dir"
