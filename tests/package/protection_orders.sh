#!/usr/bin/env bash
# The machine's protected outlets and outlet sets and the group rackmind that may change them, with every
# package that switches outlets installed alone and in every order, removed and purged in the orders that
# matter: they are there, root's and unchanged while any of those packages is on the machine (removed but not purged
# included), the state folder is the service user's exactly while the service is, and they go with the
# last purge. Each order starts from a machine without them. Run as root with dpkg free, the packages'
# dependencies installed; dpkg -i/-r/-P rather than apt, so that the orders take seconds.
#   protection_orders.sh RACKMIND_DEB RACKMIND_CTL_DEB RACKMINDD_DEB RACKMIND_REPORT_PDF_DEB
set -euo pipefail
declare -A deb=([rackmind]=$1 [rackmind-ctl]=$2 [rackmindd]=$3 [rackmind-report-pdf]=$4)
state=/var/lib/rackmind list=/var/lib/rackmind/protected-outlets entry=AA:BB:CC:00:00:02/1
sets=/var/lib/rackmind/outlet-sets setsentry='{"sets":[{"name":"db-07","outlets":["AABBCC000002/1"]}]}'
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
declare -A now # package -> installed | configured-off (removed, not purged); absent when purged
order="" written=""

fail() {
    echo "FAIL: after $order: $*" >&2
    exit 1
}
# Without the service's user, which the service's purge leaves as Debian does, and the group.
fresh() {
    now=()
    order="" written="" admins=""
    ! getent passwd rackmind >/dev/null || userdel rackmind >/dev/null 2>&1
    ! getent group rackmind >/dev/null || groupdel rackmind
    [ ! -e $state ] && [ ! -L $state ] || fail "a state folder left from before"
}
owns() { [ "$(stat -c '%U:%G %a' "$1" 2>&1)" = "$2" ] || fail "$1 is $(stat -c '%U:%G %a' "$1" 2>&1), not $2"; }

# What an operator relies on after each step.
check() {
    local service=${now[rackmindd]:-}
    if [ -n "${now[rackmind]:-}${now[rackmind-ctl]:-}$service" ]; then
        getent group rackmind >/dev/null || fail "no group rackmind"
        for file in $list $sets; do
            [ -f $file ] && [ ! -L $file ] || fail "$file is not a file"
            owns $file "root:rackmind 664"
        done
        if [ -n "$written" ]; then
            grep -qx "$entry" $list || fail "the protected outlet was lost"
            grep -qxF "$setsentry" $sets || fail "the outlet sets were lost"
        else
            echo "$entry" >$list
            echo "$setsentry" >$sets
            written=yes
        fi
        if [ -n "$service" ]; then
            owns $state "rackmind:rackmind 755"
        else
            owns $state "root:root 755"
            [ "$(ls -A $state | tr '\n' ' ')" = "outlet-sets protected-outlets " ] || fail "$state holds $(ls -A $state | tr '\n' ' ')"
        fi
    else
        [ ! -e $state ] && [ ! -L $state ] || fail "$state is left"
        # The service's user stays, as Debian leaves system users, and keeps its group; so does a group
        # the administrator made.
        if getent passwd rackmind >/dev/null || [ -n "$admins" ]; then
            getent group rackmind >/dev/null || fail "the service's user or the administrator lost the group"
        else
            ! getent group rackmind >/dev/null || fail "the group rackmind is left"
        fi
    fi
}
# i, r, P: install, remove, purge one package, then check.
step() {
    local op=$1 p=$2
    order+=" $op:$p"
    case $op in
        i) dpkg -i "${deb[$p]}" >/dev/null || fail "dpkg -i failed"; now[$p]=installed ;;
        r) dpkg -r "$p" >/dev/null || fail "dpkg -r failed"; now[$p]=configured-off ;;
        P) dpkg -P "$p" >/dev/null || fail "dpkg -P failed"; unset "now[$p]" ;;
    esac
    [ "$op" != i ] || [ "$p" != rackmindd ] || service_writes
    check
}
# What the running service keeps beside the list, as its own user.
service_writes() {
    setpriv --reuid rackmind --regid rackmind --clear-groups touch $state/history.sqlite $state/port.prt ||
        fail "the service's user cannot write its files in $state"
}
# The steps given as op:package, in turn.
steps() { for s in "$@"; do step "${s%%:*}" "${s#*:}"; done; }
run() {
    fresh
    steps "$@"
    echo "order:$order"
}

for p in rackmind rackmind-ctl rackmindd; do
    run "i:$p" "r:$p" "i:$p" "P:$p"
done
for a in rackmind rackmind-ctl rackmindd; do
    for b in rackmind rackmind-ctl rackmindd; do
        [ "$b" != "$a" ] || continue
        for c in rackmind rackmind-ctl rackmindd; do
            [ "$c" != "$a" ] && [ "$c" != "$b" ] || continue
            # The first installed is removed, the others purged over its kept configuration, then it.
            run "i:$a" "i:$b" "i:$c" "r:$a" "P:$b" "P:$c" "P:$a"
        done
    done
done
run i:rackmind-ctl i:rackmind-report-pdf P:rackmind-report-pdf P:rackmind-ctl

# A list and sets there before, whatever their owner and mode (anyone's, or root's alone as a console run
# by root makes them), become root's and the group's with their entries. A group rackmind the administrator made
# (not a system group) serves and stays theirs; a link in place of the state folder goes with the last
# purge, the folder it leads to untouched.
fresh
groupadd rackmind
mkdir $state
echo "$entry" >$list
echo "$setsentry" >$sets
chown nobody:nogroup $list $sets
chmod 0666 $list $sets
admins=yes written=yes order=" (the administrator's group, files of nobody's, 666)"
step i rackmind-ctl
chown root:root $list $sets
chmod 0644 $list $sets
order+=" (root's files, 644)"
steps i:rackmind-ctl P:rackmind-ctl
written=""
step i rackmind-ctl
mkdir "$work/away"
mv $list $sets "$work/away"
rmdir $state
ln -s "$work/away" $state
order+=" (state folder a link)"
step P rackmind-ctl
[ "$(ls -A "$work/away" | tr '\n' ' ')" = "outlet-sets protected-outlets " ] || fail "the purge went through the link"
echo "order:$order"

# The layout of an older service unit: its state in private/rackmind, a folder only root passes through,
# behind a link here. An installation makes it a real folder with all it held, the service's history
# store its own; the service's purge leaves the desk its list and sets.
fresh
[ -d /var/lib/private ] || install -d -m 0700 /var/lib/private
mkdir /var/lib/private/rackmind
echo "$entry" >/var/lib/private/rackmind/protected-outlets
echo "$setsentry" >/var/lib/private/rackmind/outlet-sets
install -o 61234 -g 61234 -m 0644 /dev/null /var/lib/private/rackmind/history.sqlite
ln -s private/rackmind $state
order=" (the older layout)" written=yes
step i rackmindd
[ -f $state/history.sqlite ] && [ ! -e /var/lib/private/rackmind ] || fail "the older layout is left"
steps i:rackmind-ctl P:rackmindd P:rackmind-ctl
echo "order:$order"

# A person's account named rackmind is not taken over: the service does not configure, its configuration
# with the mail password stays out of that account's reach, and its purge leaves the account.
fresh
useradd rackmind
order=" (a person rackmind) i:rackmindd"
! dpkg -i "${deb[rackmindd]}" >/dev/null 2>&1 || fail "the service took a person's account"
[ "$(stat -c %G /etc/rackmind/rackmindd.conf)" != rackmind ] || fail "the person may read the configuration"
dpkg -P rackmindd >/dev/null || fail "dpkg -P failed"
getent passwd rackmind >/dev/null || fail "the person's account was removed"
echo "order:$order P:rackmindd"

# The service's user replaces the list and the sets in its folder by links to a file of root's: the
# service's purge, and an installation of it, leave files of root's there and the file untouched.
target=$work/root-only
echo secret >"$target"
chmod 0600 "$target"
plant() {
    for file in $list $sets; do
        setpriv --reuid rackmind --regid rackmind --clear-groups ln -sfT "$target" $file
    done
    order+=" (link planted)" written=""
}
# ...or by files of its own that anyone may write.
own() {
    setpriv --reuid rackmind --regid rackmind --clear-groups sh -c \
        "rm $list $sets; echo $entry >$list; echo '$setsentry' >$sets; chmod 0666 $list $sets"
    order+=" (its own files, 666)"
}
fresh
steps i:rackmind i:rackmindd
plant
steps P:rackmindd i:rackmindd
plant
step i rackmindd
own
steps P:rackmindd P:rackmind
[ "$(stat -c '%U %a' "$target")" = "root 600" ] && [ "$(cat "$target")" = secret ] || fail "the linked file changed"
echo "order:$order"
