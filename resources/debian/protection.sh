# The machine's protected outlets and its outlet sets and sequences (read by every program that switches
# outlets) and the group rackmind that may change them come with the first package that switches outlets
# (the console, the command line, the service) and go with the purge of the last.
state=/var/lib/rackmind
list=$state/protected-outlets
sets=$state/outlet-sets
machine_files="$list $sets"

protection_make() {
    getent group rackmind >/dev/null || addgroup --system --quiet rackmind
    protection_layout
    [ -d $state ] || install -d -m 0755 $state
    for file in $machine_files; do
        machine_file_make $file
    done
}

# A file is made in a folder of root's and moved into place: the state folder may be the service user's,
# and a link there is replaced, never followed. A file there already keeps its content (read without
# following a link put there meanwhile) and becomes root's and the group's whoever made it.
machine_file_make() {
    if [ -L $1 ] || [ "$(stat -c %U:%G:%a $1 2>/dev/null)" != root:rackmind:664 ]; then
        made=$(mktemp -d /var/lib/.rackmind-XXXXXX)
        install -o root -g rackmind -m 0664 /dev/null "$made/file"
        if [ -f $1 ] && [ ! -L $1 ]; then
            dd if=$1 of="$made/file" iflag=nofollow,nonblock status=none
        fi
        mv -fT "$made/file" $1
        rmdir "$made"
    fi
}

# An older service unit kept the state in private/rackmind behind a link here, in a folder only root can
# pass through: it becomes a real folder with all it held before anything goes through the link.
protection_layout() {
    case $(readlink $state) in
        private/rackmind | /var/lib/private/rackmind) ;;
        *) return 0 ;;
    esac
    made=$(mktemp -d /var/lib/.rackmind-XXXXXX)
    chmod 0755 "$made"
    if [ -d /var/lib/private/rackmind ]; then
        find /var/lib/private/rackmind -mindepth 1 -maxdepth 1 -exec mv -t "$made" {} +
        rmdir /var/lib/private/rackmind
    fi
    rm $state
    mv -T "$made" $state
}

# True while another package that switches outlets is on the machine, removed but not purged included:
# its configuration, the machine's files among it, is kept until its own purge.
protection_needed() {
    for other in rackmind rackmind-ctl rackmindd; do
        [ "$other" != "$DPKG_MAINTSCRIPT_PACKAGE" ] || continue
        status=$(dpkg-query -W -f '${db:Status-Status}' "$other" 2>/dev/null) || continue
        [ "$status" = not-installed ] || return 0
    done
    return 1
}

# adduser's rule for a system account or group: its id lies from FIRST_SYSTEM_UID (GID) to LAST_SYSTEM_UID
# (GID) of /etc/adduser.conf, 100 to 999 where it sets none.
#   system_id UID|GID ID
system_id() {
    first=$(adduser_conf FIRST_SYSTEM_$1) last=$(adduser_conf LAST_SYSTEM_$1)
    [ "$2" -ge "${first:-100}" ] && [ "$2" -le "${last:-999}" ]
}
adduser_conf() {
    sed -n "s/^[[:space:]]*$1[[:space:]]*=[[:space:]\"]*\([0-9]*\).*/\1/p" /etc/adduser.conf 2>/dev/null | tail -n 1
}

# The group goes with the machine's files, unless an account still has it as its own (the service's user, which
# stays as Debian leaves system users: a group removed under it would leave its files a bare number) or
# it is no system group, so the administrator's. A link in place of the state folder goes, not followed.
protection_remove() {
    if [ -L $state ]; then
        rm -f $state
    elif [ -d $state ]; then
        rm -f $machine_files
        rmdir --ignore-fail-on-non-empty $state
    fi
    gid=$(getent group rackmind | cut -d: -f3)
    if [ -n "$gid" ] && system_id GID "$gid" && ! getent passwd | cut -d: -f4 | grep -qx "$gid" &&
        command -v delgroup >/dev/null; then
        delgroup --system --quiet rackmind
    fi
}
