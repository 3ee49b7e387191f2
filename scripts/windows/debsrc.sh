# Adds deb-src entries for the Debian mirror and suites the machine's own apt sources already
# use, so `apt-get source` fetches the sources of the very release installed. Sourced.
beamtide_enable_deb_src() {
  local out=/etc/apt/sources.list.d/beamtide-src.sources
  [ -f "$out" ] && return 0
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  local tmp
  tmp=$(mktemp)
  # deb822 files: copy every stanza of Types: deb with Types: deb-src.
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN{RS=""; ORS="\n\n"} /Types:[ a-z-]*deb/ && /debian/ {
           sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >>"$tmp"
  done
  # One-line sources: deb lines become deb-src lines.
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]\+\(.*debian.*\)$/deb-src \1/p' /etc/apt/sources.list >"$tmp.list"
  fi
  if [ ! -s "$tmp" ] && [ ! -s "$tmp.list" ]; then
    echo "No Debian apt source found to mirror as deb-src" >&2
    rm -f "$tmp" "$tmp.list"
    return 1
  fi
  [ -s "$tmp" ] && "${sudo[@]}" install -m 644 "$tmp" "$out"
  [ -s "$tmp.list" ] && "${sudo[@]}" install -m 644 "$tmp.list" /etc/apt/sources.list.d/beamtide-src.list
  rm -f "$tmp" "$tmp.list"
  "${sudo[@]}" apt-get update -qq
}
