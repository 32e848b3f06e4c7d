#!/usr/bin/env bash
# The bash completion of VelmoraBatch, run by bash itself: each case is a command line typed up
# to the cursor, split into words as bash splits them for completion (at blanks and at ":" and
# "=" outside quotes), then the completion function's answers, sorted, are compared.
# Usage: test_completion.sh <completion script> <bash_completion library>
set -u
script=$(readlink -f -- "$1")
bibliotheque=${2:-/usr/share/bash-completion/bash_completion}
if [[ ! -r $bibliotheque ]]; then
    echo "SKIP: $bibliotheque missing (package bash-completion)"
    exit 0
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/bin" "$tmp/config/Quirlane/Velmora"
# A stand-in program: the completion looks only at where it lies.
printf '#!/bin/sh\n' >"$tmp/bin/VelmoraBatch"
chmod +x "$tmp/bin/VelmoraBatch"

# CR LF line ends, a folder with a space, a quoted count, a machine past the count, a section
# without a count (not a folder), and the same machine name in two folders.
printf '%s\r\n' '[Config]' 'Langue=Français' \
    '[bureau]' 'NbMachines=2' 'Machine1=pc1|192.168.1.10||||' 'machine2=pc2|192.168.1.11' \
    '[salle A]' 'NbMachines="3"' 'Machine1=poste 1|10.0.0.1' 'Machine2=poste2|10.0.0.2' \
    'Machine3=pc1|10.0.0.3' 'Machine4=hors compte|10.0.0.4' \
    '[notes]' 'texte=1' >"$tmp/maison.ini"
# The default file of this program (beside it) holds another folder.
printf '[Config]\n[défaut]\nNbMachines=1\nMachine1=serveur|10.1.1.1\n' >"$tmp/bin/Velmora.ini"

echec=0
# cas "<line typed>" "<expected answers, one per line, sorted>"
cas() {
    local ligne=$1 attendu=$2 obtenu
    obtenu=$(
        cd "$tmp" && PATH="$tmp/bin:$PATH" bash --norc --noprofile -c '
            source "$1" >/dev/null 2>&1
            source "$2"
            ligne=$3
            COMP_WORDS=()
            mot="" q="" apostrophe=$'"'"'\x27'"'"'
            for ((i = 0; i < ${#ligne}; i++)); do
                c=${ligne:i:1}
                if [[ -n $q ]]; then
                    mot+=$c
                    [[ $c == "$q" ]] && q=""
                    continue
                fi
                case $c in
                    \\) mot+=$c${ligne:i+1:1}; ((i++)) ;;
                    \" | "$apostrophe") q=$c; mot+=$c ;;
                    " ") [[ -n $mot ]] && COMP_WORDS+=("$mot"); mot="" ;;
                    [:=])
                        [[ -n $mot ]] && COMP_WORDS+=("$mot")
                        n=${#COMP_WORDS[@]}
                        if [[ -z $mot && $n -gt 0 && ${COMP_WORDS[n-1]} =~ ^[:=]+$ ]]; then
                            COMP_WORDS[n-1]+=$c
                        else
                            COMP_WORDS+=("$c")
                        fi
                        mot="" ;;
                    *) mot+=$c ;;
                esac
            done
            if [[ -n $mot || $ligne == *" " ]]; then COMP_WORDS+=("$mot"); fi
            COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
            COMP_LINE=$ligne
            COMP_POINT=${#ligne}
            COMPREPLY=()
            _velmorabatch VelmoraBatch "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
            ((${#COMPREPLY[@]})) && printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort
            ' _ "$bibliotheque" "$script" "$ligne"
    )
    if [[ $obtenu != "$attendu" ]]; then
        printf 'FAIL: %s\n  expected: %q\n  got:      %q\n' "$ligne" "$attendu" "$obtenu"
        echec=1
    fi
}

# The function is registered for the program.
if ! bash --norc --noprofile -c 'source "$1" >/dev/null 2>&1; source "$2"; complete -p VelmoraBatch' \
    _ "$bibliotheque" "$script" | grep -q -- '-F _velmorabatch VelmoraBatch$'; then
    echo "FAIL: complete -p VelmoraBatch"
    echec=1
fi

# Folders (with "!") and every machine once, after an action switch; names with spaces escaped.
# Bash replaces only the text after the last ":", so that is what the answers hold.
cas 'VelmoraBatch ./maison.ini /w:' 'bureau\!
pc1
pc2
poste2
poste\ 1
salle\ A\!'
cas 'VelmoraBatch ./maison.ini /S:p' 'pc1
pc2
poste2
poste\ 1'
cas 'VelmoraBatch ./maison.ini /w:sal' 'salle\ A\!'
# "dossier!": that folder's machines only, up to its count; the folder in any case.
cas 'VelmoraBatch ./maison.ini /R:salle\ A\!' 'salle\ A\!pc1
salle\ A\!poste2
salle\ A\!poste\ 1'
cas 'VelmoraBatch ./maison.ini /R:SALLE\ a\!po' 'SALLE\ a\!poste2
SALLE\ a\!poste\ 1'
# Inside a quote already opened, readline adds the quoting: the names come back as they are.
cas "VelmoraBatch ./maison.ini '/w:salle A!poste" "/w:salle A!poste 1
/w:salle A!poste2"
# The MAC update takes a folder alone.
cas 'VelmoraBatch ./maison.ini /u:' 'bureau
salle\ A'
# Without a leading file name, the default file of the program found on PATH.
cas 'VelmoraBatch /w:' 'défaut\!
serveur'
cas 'VelmoraBatch /a:défaut\!' 'défaut\!serveur'
# An unescaped "!" (typed as the examples show it, or pasted) completes the same way, and the
# answer comes back escaped for an interactive bash.
cas 'VelmoraBatch ./maison.ini /w:bureau!' 'bureau\!pc1
bureau\!pc2'
cas 'VelmoraBatch /a:défaut!s' 'défaut\!serveur'
# A file that does not exist gives nothing to complete.
cas 'VelmoraBatch ./absent.ini /w:' ''
# Switches, the values of /f:, the Linux conventions in first place.
cas 'VelmoraBatch ./maison.ini /S:pc1 /f' '/f:'
cas 'VelmoraBatch ./maison.ini /w:pc1 /at' '/attendre:'
cas 'VelmoraBatch ./maison.ini /S:pc1 /f:o' 'off
on'
cas 'VelmoraBatch --v' '--version'

if ((echec)); then exit 1; fi
echo "completion: all cases pass"
