#!/usr/bin/env bash
# Installs the built .deb on this machine with apt (which fetches what it
# Depends on and Recommends), starts the installed program under Xvfb in
# German on the real X11 platform plugin, lets it paint its main window and
# end itself, and checks that every shared library it loaded on the way
# comes from a package its Depends pull in: a run-time need left out of
# Depends fails here even though the machine happens to have it. Removes
# the package again unless it was installed before.
# Usage: install_and_start.sh PACKAGE.deb
set -uo pipefail
deb=$(realpath "$1")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

SUDO=""
if [[ $(id -u) -ne 0 ]]; then
  sudo -n true 2>/dev/null || { echo "FAIL: installing the package needs root or sudo"; exit 1; }
  SUDO="sudo -n"
fi
for tool in xvfb-run apt-get apt-cache dpkg-query; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed"; exit 1; }
done

# One install at a time on a machine shared by several worktrees.
exec 9>/tmp/ostrel-viewer-package-install.lock
flock -w 900 9 || { echo "FAIL: another package test holds the install lock"; exit 1; }

work=$(mktemp -d)
installed_before=$(dpkg-query -W -f='${Status}' ostrel-viewer 2>/dev/null | grep -c "install ok installed")
cleanup() {
  ((installed_before)) || $SUDO dpkg -r ostrel-viewer >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

if ! $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq -o DPkg::Lock::Timeout=600 \
  "$deb" >"$work/apt.log" 2>&1; then
  cat "$work/apt.log"
  echo "FAIL: apt-get install of the package"
  exit 1
fi

mkdir "$work/run" "$work/ld"
(cd "$work/run" && timeout 90 env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY \
  xvfb-run -a -s "-screen 0 1280x1024x24" \
  env LANGUAGE=de OSTREL_QUIT_AFTER_FIRST_PAINT=1 LD_DEBUG=files LD_DEBUG_OUTPUT="$work/ld/ld" \
  /usr/bin/ostrel_viewer >"$work/stdout" 2>"$work/stderr")
status=$?
if ((status != 0)); then
  cat "$work/stdout" "$work/stderr"
  fail "the installed program ended with status $status under Xvfb"
fi
if grep -qiE "could not (load|find)|cannot load|failed to load" "$work/stderr"; then
  cat "$work/stderr"
  fail "the installed program reported a loading problem"
fi

# The libraries: the program's and the plugins' it loaded (their paths in
# the loader's record; probes for files that do not exist are left out),
# each with what it links, as ldd resolves them. Libraries a plugin opened
# by hand for an optional feature are only listed.
mapfile -t opened < <(grep -h 'dynamically loaded by' "$work"/ld/ld.* 2>/dev/null |
  grep -o 'file=/[^ ]*' | cut -d= -f2 | sort -u)
plugins=() optional=()
for f in "${opened[@]}"; do
  [[ -f $f ]] || continue
  if [[ $f == */qt6/plugins/* ]]; then plugins+=("$f"); else optional+=("$f"); fi
done
((${#plugins[@]})) || fail "the program loaded no Qt plugin (no platform plugin?)"
mapfile -t loaded < <({
  printf '%s\n' /usr/bin/ostrel_viewer "${plugins[@]}"
  ldd /usr/bin/ostrel_viewer "${plugins[@]}" | grep -o '=> /[^ ]*' | cut -d' ' -f2
} | sort -u)
closure=$(apt-cache depends --recurse --installed --no-recommends --no-suggests --no-conflicts \
  --no-breaks --no-replaces --no-enhances ostrel-viewer 2>/dev/null |
  sed -n 's/^ *\(|\?\(Pre\)\?Depends: \)\?\([a-z0-9][^ <>:]*\).*/\3/p' | sort -u)
# Which package each file belongs to, asked of dpkg in one go. Merged /usr:
# dpkg may know a file under /lib that the loader opened under /usr/lib.
declare -A owners=()
forms() { local p=$1 r; r=$(realpath -e "$p" 2>/dev/null || echo "$p"); printf '%s\n' "$p" "${p#/usr}" "/usr$p" "$r" "${r#/usr}" "/usr$r"; }
while IFS= read -r line; do
  owners[${line#*: }]=${line%%:*}
done < <(for f in "${loaded[@]}" "${optional[@]}"; do forms "$f"; done | sort -u |
  xargs dpkg -S 2>/dev/null | grep -v '^diversion' | sed 's/^\([^:,]*\)[^ ]* \(.*\)$/\1: \2/')
owner() {
  local f
  while IFS= read -r f; do
    [[ -n ${owners[$f]:-} ]] && { echo "${owners[$f]}"; return; }
  done < <(forms "$1")
  echo "?$1"
}
declare -A seen=()
for lib in "${loaded[@]}"; do
  package=$(owner "$lib")
  [[ -n ${seen[$package]:-} ]] && continue
  seen[$package]=1
  [[ $package == ostrel-viewer ]] && continue
  if [[ $package == \?* ]]; then
    fail "the program loaded ${package#\?}, which no package owns"
  elif ! grep -qx "$package" <<<"$closure"; then
    fail "the program loaded a library of $package, which its Depends do not pull in"
  fi
done
echo "plugins loaded: ${plugins[*]##*/}"
for f in "${optional[@]}"; do echo "opened by hand (optional): $f ($(owner "$f"))"; done
echo "installed, started under Xvfb in German and ended; ${#loaded[@]} libraries from ${#seen[@]} packages checked against Depends"
((failures == 0))
