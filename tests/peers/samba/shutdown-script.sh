#!/bin/sh
# Stands for the system's shutdown command under the test smbd: records its arguments in
# DIR/calls.log and keeps a "pending" mark, so that an abort with nothing pending fails.
dir=$1
action=$2
shift 2
echo "$action $*" >> "$dir/calls.log"
case $action in
shutdown)
    touch "$dir/pending"
    ;;
abort)
    [ -e "$dir/pending" ] || exit 1
    rm -f "$dir/pending"
    ;;
esac
exit 0
