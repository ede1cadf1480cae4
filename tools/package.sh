#!/usr/bin/env bash
# Builds the Debian packages quarzello and quarzello-highscored from this
# checkout and checks them as an administrator would meet them:
#   1. installs what packaging needs (the tools and the Build-Depends),
#   2. dpkg-buildpackage -us -uc -b in a copy of the tracked files,
#   3. lintian (no errors, no warnings) and hardening-check on both programs,
#   4. installs both packages into a throwaway Debian 12 root and there starts
#      the game from its installed command under Xvfb, and the service with
#      the command line of its systemd unit; the service must answer a fetch
#      on 127.0.0.1.
# The throwaway roots start from a minimal Debian 12 made by debootstrap,
# kept as a tarball in the output directory for the next run.
#   --clean-chroot  build in such a root too, with nothing in it but
#                   build-essential and the Build-Depends
# The packages land in build-package/ (QUARZELLO_PACKAGE_DIR picks another
# directory). Needs root.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)
out=${QUARZELLO_PACKAGE_DIR:-$source_dir/build-package}
mirror=${QUARZELLO_DEBIAN_MIRROR:-http://deb.debian.org/debian}
jobs=${QUARZELLO_JOBS:-2}
clean_chroot=""
case "${1:-}" in
  "") ;;
  --clean-chroot) clean_chroot=yes ;;
  *) echo "usage: $0 [--clean-chroot]" >&2; exit 2 ;;
esac

step() { printf '\n=== %s ===\n' "$1"; }
fail() { echo "package.sh: $*" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || fail "run it as root: it installs packages and makes chroots"

mounts=()
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount -l "${mounts[i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

step "installing the packaging tools and the Build-Depends"
export DEBIAN_FRONTEND=noninteractive
tools=(build-essential dpkg-dev debhelper devscripts lintian debootstrap xvfb xauth x11-utils python3)
missing=()
for p in "${tools[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || ! dpkg-checkbuilddeps debian/control >/dev/null 2>&1; then
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${tools[@]}"
  apt-get build-dep -y -q --no-install-recommends "$source_dir"
fi

# A fresh root from the Debian 12 base, with /dev and /proc of this machine.
base="$out/bookworm-minbase.tar"
new_root() {
  local root=$1
  if [ ! -f "$base" ]; then
    echo "making the Debian 12 base with debootstrap from $mirror"
    rm -rf "$out/minbase"
    debootstrap --variant=minbase bookworm "$out/minbase" "$mirror" >"$out/debootstrap.log" 2>&1 ||
      { tail -n 20 "$out/debootstrap.log"; fail "debootstrap failed (is $mirror reachable?)"; }
    tar -C "$out/minbase" -cf "$base" .
    rm -rf "$out/minbase"
  fi
  # Never follow a bind mount left over from an interrupted run.
  for mounted in "$root/dev" "$root/proc"; do
    if mountpoint -q "$mounted"; then umount -l "$mounted"; fi
  done
  rm -rf --one-file-system "$root"
  mkdir -p "$root"
  tar -C "$root" -xf "$base"
  cp /etc/resolv.conf "$root/etc/resolv.conf"
  mount --bind /dev "$root/dev" && mounts+=("$root/dev")
  mount -t proc proc "$root/proc" && mounts+=("$root/proc")
  chroot "$root" apt-get update -q >/dev/null
}

step "building the packages"
rm -rf "$out/src" "$out"/*.deb "$out"/*.changes "$out"/*.buildinfo
mkdir -p "$out/src"
git ls-files -z | xargs -0 cp --parents -t "$out/src"
started=$(date +%s)
if [ -n "$clean_chroot" ]; then
  build_root="$out/build-root"
  new_root "$build_root"
  mkdir -p "$build_root/build"
  cp -a "$out/src" "$build_root/build/src"
  chroot "$build_root" apt-get install -y -q --no-install-recommends build-essential >"$out/build.log" 2>&1
  chroot "$build_root" apt-get build-dep -y -q --no-install-recommends /build/src >>"$out/build.log" 2>&1 ||
    { tail -n 20 "$out/build.log"; fail "the Build-Depends do not install in a clean root"; }
  echo "installed in the clean root: $(chroot "$build_root" dpkg-query -W -f='.\n' | wc -l) packages"
  chroot "$build_root" sh -c "cd /build/src && dpkg-buildpackage -us -uc -b -j$jobs" >>"$out/build.log" 2>&1 ||
    { tail -n 40 "$out/build.log"; fail "dpkg-buildpackage failed in the clean root; see $out/build.log"; }
  cp "$build_root"/build/*.deb "$build_root"/build/*.changes "$build_root"/build/*.buildinfo "$out/"
else
  (cd "$out/src" && dpkg-buildpackage -us -uc -b -j"$jobs") >"$out/build.log" 2>&1 ||
    { tail -n 40 "$out/build.log"; fail "dpkg-buildpackage failed; see $out/build.log"; }
fi
echo "built in $(($(date +%s) - started)) s (log: $out/build.log)"
grep -q -- "-Werror " "$out/build.log" && fail "the package build used -Werror"
changes=$(ls "$out"/quarzello_*.changes)
game_deb=$(ls "$out"/quarzello_*.deb)
service_deb=$(ls "$out"/quarzello-highscored_*.deb)
for deb in "$game_deb" "$service_deb"; do
  echo "$(basename "$deb"): Installed-Size $(dpkg-deb -f "$deb" Installed-Size) KiB"
done

step "lintian"
lintian --fail-on error,warning --display-info "$changes" || fail "lintian found errors or warnings"
echo "lintian: no errors, no warnings"

step "hardening-check"
extracted="$out/extracted"
rm -rf "$extracted"
for deb in "$game_deb" "$service_deb"; do dpkg-deb -x "$deb" "$extracted"; done
for program in usr/libexec/quarzello/quarzello usr/sbin/quarzello-highscored; do
  report="$out/hardening-$(basename "$program").txt"
  # Its own status also counts the properties Debian 12 cannot give (its C
  # start-up files carry no control-flow marking), so the five that matter
  # are read from its report.
  hardening-check "$extracted/$program" >"$report" || true
  cat "$report"
  for property in "Position Independent Executable" "Stack protected" "Fortify Source functions" \
                  "Read-only relocations" "Immediate binding"; do
    grep -q "$property: yes" "$report" || fail "$program: $property is not on"
  done
done

step "installing both packages into a throwaway root"
root="$out/root"
new_root "$root"
cp "$game_deb" "$service_deb" "$root/tmp/"
chroot "$root" apt-get install -y -q --no-install-recommends \
  "/tmp/$(basename "$game_deb")" "/tmp/$(basename "$service_deb")" >"$out/install.log" 2>&1 ||
  { tail -n 20 "$out/install.log"; fail "the packages do not install; see $out/install.log"; }
chroot "$root" useradd --create-home player

step "the game, started from its installed command under Xvfb"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$out/display" 2>"$out/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do grep -q '^[0-9]' "$out/display" 2>/dev/null && break; sleep 0.1; done
display=":$(head -n 1 "$out/display")"
[ "$display" != ":" ] || fail "Xvfb did not start; see $out/xvfb.log"
# From /, as a desktop menu may start it; the game is the same process the
# launcher was, so its working directory can be read from /proc.
chroot --userspec=player:player "$root" env -i HOME=/home/player DISPLAY="$display" \
  PATH=/usr/local/bin:/usr/bin:/bin:/usr/games sh -c 'cd / && exec quarzello' >"$out/game.log" 2>&1 &
game=$!
pids+=("$game")
window=""
for _ in $(seq 300); do
  window=$(xwininfo -display "$display" -root -tree | grep '"Quarzello"' | grep -o '400x500' || true)
  [ -n "$window" ] && break
  kill -0 "$game" 2>/dev/null || { cat "$out/game.log"; fail "the game ended before its window appeared"; }
  sleep 0.1
done
[ -n "$window" ] || fail "no 400x500 window titled Quarzello"
cwd=$(readlink "/proc/$game/cwd")
[ "$cwd" = "$root/home/player/.local/share/quarzello" ] || fail "the game runs in $cwd"
echo "the game shows its 400x500 window, working in ~player/.local/share/quarzello"
kill "$game"

step "the service, started with its unit's command line"
unit="$root/lib/systemd/system/quarzello-highscored.service"
unit_value() { sed -n "s/^$1=//p" "$unit"; }
user=$(unit_value User)
state="/var/lib/$(unit_value StateDirectory)"
chroot "$root" getent passwd "$user" >/dev/null || fail "the system user $user was not made"
chroot "$root" systemd-analyze verify --man=no /lib/systemd/system/quarzello-highscored.service ||
  fail "systemd finds fault with the unit"
# Another service on this machine may hold port 8080: the administrator's
# edit that lets the service pick a free port.
sed -i '/^QUARZELLO_HIGHSCORED_OPTIONS=/s/127\.0\.0\.1:8080/127.0.0.1:0/' "$root/etc/default/quarzello-highscored"
chroot "$root" install -d -o "$user" -g "$user" -m "$(unit_value StateDirectoryMode)" "$state"
environment_file=$(unit_value EnvironmentFile)
: >"$out/service.log"  # read below before the service may have opened it
chroot --userspec="$user:$user" "$root" sh -c "set -a; . ${environment_file#-}; \
  export $(unit_value Environment); cd $(unit_value WorkingDirectory) && exec $(unit_value ExecStart)" \
  2>"$out/service.log" &
service=$!
pids+=("$service")
port=""
for _ in $(seq 100); do
  port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$out/service.log")
  [ -n "$port" ] && break
  kill -0 "$service" 2>/dev/null || { cat "$out/service.log"; fail "the service ended at once"; }
  sleep 0.1
done
[ -n "$port" ] || fail "the service does not say where it listens; see $out/service.log"
reply=$(python3 -c '
import sys, urllib.request
body = b"get_highscore=yes&own=0"
with urllib.request.urlopen(f"http://127.0.0.1:{sys.argv[1]}/quarzello/get.php", body, timeout=10) as r:
    print(r.status, r.read().decode("latin-1").splitlines()[0])' "$port")
echo "fetch: $reply"
[[ "$reply" == "200 "* ]] || fail "the service did not answer the fetch"
[ -f "$root$state/highscores.sqlite" ] || fail "no database in $state"
kill -TERM "$service"
wait "$service" || fail "the service did not stop cleanly"
echo "the service answered on 127.0.0.1:$port and keeps its database in $state"

printf '\n=== packages built and checked: %s ===\n' "$(cd "$out" && echo quarzello*_*.deb)"
