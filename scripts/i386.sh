# How this machine runs 32-bit x86 code, which every Wine process here is.
# Sourced, never run.
#
# Some x86-64 kernels run no 32-bit code at all (IA-32 emulation off): the
# i386 Wine loader then fails with "Exec format error". There the run goes
# the emulated way: qemu-user from bookworm-backports executes every i386 ELF
# file, through a binfmt_misc entry that the run registers under a name of its
# own and removes again. Bookworm's own qemu 7.2 is not enough: wineboot spins
# forever under it. QUELT_EMULATE_I386=1 takes the emulated way on any machine
# (a binfmt_misc entry goes before the kernel's own loader), so that it can be
# tried where the kernel could do without it.
#
#   quelt_i386_choose       sets QUELT_I386_EXECUTION to native or emulated
#   quelt_i386_emulate_start / quelt_i386_emulate_stop
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

QUELT_I386_LOADER=/usr/lib/wine/wine
QUELT_QEMU_I386=/usr/bin/qemu-i386
# Wine 8 starts under qemu-user 10, which bookworm-backports has; under
# bookworm's own 7.2 wineboot spins forever. Releases in between are untried.
QUELT_QEMU_MIN_VERSION=1:10
QUELT_BINFMT_DIR=/proc/sys/fs/binfmt_misc
# i386 ELF executables and shared objects (e_type 2 or 3, e_machine 3).
QUELT_BINFMT_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
QUELT_BINFMT_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
QUELT_I386_ENTRY=""
QUELT_I386_HOLDER=""
QUELT_I386_REASON=""

quelt_i386_as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo -n "$@"; fi
}

# Runs a shell command where binfmt_misc is mounted, without touching the
# machine's own mount table: in a mount namespace of its own, which holds its
# own mount. binfmt_misc keeps one set of entries per user namespace, so what
# is registered there counts for the whole machine, for as long as some mount
# of it lives.
quelt_i386_in_binfmt() {
  quelt_i386_as_root unshare --mount --propagation private sh -c "
    grep -q '^[^ ]* $QUELT_BINFMT_DIR binfmt_misc ' /proc/self/mounts \
      || mount -t binfmt_misc binfmt_misc $QUELT_BINFMT_DIR || exit 97
    $1" 2>/dev/null
}

# Prints the names of the enabled i386 entries that someone else registered.
quelt_i386_foreign_entries() {
  quelt_i386_in_binfmt "
    cd $QUELT_BINFMT_DIR || exit 0
    for entry in *; do
      case \$entry in register|status) continue ;; esac
      grep -qx enabled \"\$entry\" 2>/dev/null || continue
      # magic 7f454c46 01 01 ... with e_machine 3 at offset 18
      magic=\$(sed -n 's/^magic //p' \"\$entry\")
      offset=\$(sed -n 's/^offset //p' \"\$entry\")
      [ \"\${offset:-0}\" = 0 ] || continue
      case \$magic in 7f454c4601*) ;; *) continue ;; esac
      [ \"\$(printf %s \"\$magic\" | cut -c37-40)\" = 0300 ] && echo \"\$entry\"
    done" || true
}

# Whether the kernel itself runs the i386 Wine loader. The answer only means
# something while no i386 entry of binfmt_misc stands in front of the kernel.
quelt_i386_loader_runs() {
  [ -x "$QUELT_I386_LOADER" ] && timeout 20 "$QUELT_I386_LOADER" --version >/dev/null 2>&1
}

quelt_i386_choose() {
  if [ "${QUELT_EMULATE_I386:-0}" = 1 ]; then
    QUELT_I386_EXECUTION=emulated
    QUELT_I386_REASON="QUELT_EMULATE_I386=1"
  elif ! quelt_i386_loader_runs; then
    QUELT_I386_EXECUTION=emulated
    QUELT_I386_REASON="this kernel runs no 32-bit code"
  else
    # Another run's entry would make this one emulated too, and could go away
    # in the middle of it: such a run cannot be called native, and keeps an
    # entry of its own.
    local foreign
    foreign=$(quelt_i386_foreign_entries | tr '\n' ' ')
    if [ -n "$foreign" ]; then
      QUELT_I386_EXECUTION=emulated
      QUELT_I386_REASON="binfmt_misc already sends i386 programs elsewhere (${foreign% })"
    else
      QUELT_I386_EXECUTION=native
      QUELT_I386_REASON=""
    fi
  fi
  export QUELT_I386_EXECUTION
}

quelt_i386_qemu_ready() {
  local version
  version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null) || return 1
  [ -x "$QUELT_QEMU_I386" ] && dpkg --compare-versions "$version" ge "$QUELT_QEMU_MIN_VERSION"
}

# Registers an entry of this run's own. A holder process keeps the mount that
# the entry lives in; it ends with this shell, and then the entry goes with
# its mount even when nothing else could remove it (a SIGKILL).
quelt_i386_emulate_start() {
  if ! quelt_i386_qemu_ready; then
    quelt_log "the emulated way needs qemu-user $QUELT_QEMU_MIN_VERSION or later from bookworm-backports; run bash scripts/install-deps.sh as root"
    return 1
  fi
  if [ "$(id -u)" -ne 0 ] && ! sudo -n true 2>/dev/null; then
    quelt_log "registering qemu-i386 with binfmt_misc needs root: run this as root or with password-less sudo"
    return 1
  fi
  local name="quelt-i386-$$-$RANDOM" ready
  ready=$(mktemp)
  # The holder ignores the signals of a Ctrl-C, so that teardown removes the
  # entry in its own order; it watches this shell and ends after it. Started
  # as a plain command, so that $! is the holder itself and not a subshell.
  local as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo -n)
  "${as_root[@]}" unshare --mount --propagation private sh -c "
    trap '' INT HUP TERM
    mount -t binfmt_misc binfmt_misc $QUELT_BINFMT_DIR || exit 97
    printf '%s' ':$name:M::$QUELT_BINFMT_MAGIC:$QUELT_BINFMT_MASK:$QUELT_QEMU_I386:F' \
      >$QUELT_BINFMT_DIR/register || exit 98
    echo ok >'$ready'
    while kill -0 $$ 2>/dev/null && [ -e '$QUELT_BINFMT_DIR/$name' ]; do sleep 1; done
    [ -e '$QUELT_BINFMT_DIR/$name' ] && echo -1 >'$QUELT_BINFMT_DIR/$name'
    exit 0" </dev/null >/dev/null 2>"$ready.err" &
  QUELT_I386_HOLDER=$!
  local tries=0
  while [ ! -s "$ready" ] && kill -0 "$QUELT_I386_HOLDER" 2>/dev/null && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  if [ ! -s "$ready" ]; then
    local status=0
    kill "$QUELT_I386_HOLDER" 2>/dev/null || true
    wait "$QUELT_I386_HOLDER" 2>/dev/null || status=$?
    QUELT_I386_HOLDER=""
    case $status in
      97) quelt_log "cannot mount binfmt_misc ($(head -c 200 "$ready.err")): the kernel needs CONFIG_BINFMT_MISC (module binfmt_misc) and the run needs root outside a locked-down container" ;;
      98) quelt_log "binfmt_misc refused the i386 entry ($(head -c 200 "$ready.err"))" ;;
      *) quelt_log "could not register qemu-i386 with binfmt_misc ($(head -c 200 "$ready.err"))" ;;
    esac
    rm -f "$ready" "$ready.err"
    return 1
  fi
  rm -f "$ready" "$ready.err"
  QUELT_I386_ENTRY=$name
  if ! timeout 60 "$QUELT_I386_LOADER" --version >/dev/null 2>&1; then
    quelt_log "the i386 Wine loader does not start even under $QUELT_QEMU_I386"
    return 1
  fi
}

quelt_i386_emulate_stop() {
  if [ -n "$QUELT_I386_ENTRY" ]; then
    quelt_i386_in_binfmt "[ ! -e $QUELT_BINFMT_DIR/$QUELT_I386_ENTRY ] || echo -1 >$QUELT_BINFMT_DIR/$QUELT_I386_ENTRY" || true
    QUELT_I386_ENTRY=""
  fi
  if [ -n "$QUELT_I386_HOLDER" ]; then
    # It notices the entry's removal within a second.
    local tries=0
    while kill -0 "$QUELT_I386_HOLDER" 2>/dev/null && [ $tries -lt 50 ]; do
      sleep 0.1
      tries=$((tries + 1))
    done
    kill -KILL "$QUELT_I386_HOLDER" 2>/dev/null || true
    wait "$QUELT_I386_HOLDER" 2>/dev/null || true
    QUELT_I386_HOLDER=""
  fi
}

# One line that says how this run executes i386 code.
quelt_i386_describe() {
  if [ "$QUELT_I386_EXECUTION" = native ]; then
    echo "i386 code runs natively"
  else
    local version
    version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || echo "?")
    echo "i386 code is emulated by qemu-i386 $version (binfmt_misc entry $QUELT_I386_ENTRY; $QUELT_I386_REASON)"
  fi
}
