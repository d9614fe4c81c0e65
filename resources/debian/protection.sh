# The machine's protected outlets (read by every program that switches outlets) and the group rackmind
# that may change them come with the first package that switches outlets (the console, the command line,
# the service) and go with the purge of the last.
state=/var/lib/rackmind
list=$state/protected-outlets

# A list is made in a folder of root's and moved into place: the state folder may be the service user's,
# and a link there is replaced, never followed. An existing list is the administrator's and stays.
protection_make() {
    getent group rackmind >/dev/null || addgroup --system --quiet rackmind
    [ -d $state ] || install -d -m 0755 $state
    if [ -L $list ] || [ ! -e $list ]; then
        made=$(mktemp -d /var/lib/.rackmind-XXXXXX)
        install -o root -g rackmind -m 0664 /dev/null "$made/list"
        mv -fT "$made/list" $list
        rmdir "$made"
    fi
}

# True while another package that switches outlets is on the machine, removed but not purged included:
# its configuration, the list among it, is kept until its own purge.
protection_needed() {
    for other in rackmind rackmind-ctl rackmindd; do
        [ "$other" != "$DPKG_MAINTSCRIPT_PACKAGE" ] || continue
        status=$(dpkg-query -W -f '${db:Status-Status}' "$other" 2>/dev/null) || continue
        [ "$status" = not-installed ] || return 0
    done
    return 1
}

# The group goes with the list, unless an account still has it as its own: the service's user, which
# stays as Debian leaves system users (a group removed under it would leave its files a bare number).
protection_remove() {
    rm -f $list
    [ ! -d $state ] || rmdir --ignore-fail-on-non-empty $state
    gid=$(getent group rackmind | cut -d: -f3)
    if [ -n "$gid" ] && ! getent passwd | cut -d: -f4 | grep -qx "$gid" && command -v delgroup >/dev/null; then
        delgroup --system --quiet rackmind
    fi
}
