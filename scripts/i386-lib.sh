# How this machine runs i386 code: natively, or through qemu-user registered
# for i386 ELF in binfmt_misc. Sourced by the set-up and the measuring
# scripts.
#
# qemu-user's version decides the speed of 32-bit Wine on a kernel that
# cannot run i386 code: bookworm's 7.2 serves Wine's address-space
# reservation page by page (about a minute a run), 10 from bookworm-backports
# in seconds.

i386_entry=/proc/sys/fs/binfmt_misc/qemu-i386

# kernel_needs_qemu: true where i386 code runs only through qemu-user: the
# loader fails (libc6:i386 installed), or answers through a qemu entry.
kernel_needs_qemu() {
  [ -e "$i386_entry" ] || ! /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

# qemu_user_10_installed: true where Debian's qemu-user 10 or later is
# installed (its /usr/bin/qemu-i386 is static).
qemu_user_10_installed() {
  local version
  version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null) &&
    dpkg --compare-versions "$version" ge 1:10
}

# qemu_interpreter: the qemu-user to register for i386: qemu-user 10's where
# it is installed, else qemu-user-static's.
qemu_interpreter() {
  if qemu_user_10_installed; then echo /usr/bin/qemu-i386; else echo /usr/bin/qemu-i386-static; fi
}

# describe_i386: one line that says how this machine runs i386 code, for
# every measurement that a Wine figure comes from.
describe_i386() {
  if [ -e "$i386_entry" ]; then
    local interpreter
    interpreter=$(sed -n 's/^interpreter //p' "$i386_entry")
    echo "machine: $(nproc) cores; i386 code runs through $("$interpreter" --version | head -n 1) ($interpreter)"
  elif /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "machine: $(nproc) cores; the kernel runs i386 code natively"
  else
    echo "machine: $(nproc) cores; i386 code does not run here yet (scripts/setup-wine.sh sets it up)"
  fi
}
