#!/usr/bin/env bash
# A guided session with the plugin, start to finish, on this machine.
#
# It builds the native preset, starts the reader simulator on a copy of its
# demo reader in a private folder, and drives the plugin with pagora-cli the
# way a file manager would: list, download, upload to internal memory, upload
# a book too big for internal memory (it goes to the card), delete, list.
# Everything it makes lives in one temporary folder, removed at the end.
#
# usage: scripts/demo.sh
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build/native"

bold=""
plain=""
if [ -t 1 ]; then
  bold=$(printf '\033[1m')
  plain=$(printf '\033[0m')
fi

# Prints a step's heading and what it shows, then runs and echoes the command.
step_number=0
step() {
  local explanation=$1
  shift
  step_number=$((step_number + 1))
  printf '\n%s%d. %s%s\n' "$bold" "$step_number" "$explanation" "$plain"
  local shown=""
  local word
  for word in "$@"; do
    case $word in
      *[\ \[\]\']*) shown+=" \"$word\"" ;;
      *) shown+=" $word" ;;
    esac
  done
  printf '   $%s\n' "$shown"
  "$@"
}

note() { printf '   %s\n' "$@"; }

# Tells where a file stands in the reader's storage.
where_is() {
  if [ -f "$image/internal/book/$1" ]; then
    note "On the reader it is now in internal memory: internal/book/$1"
  elif [ -f "$image/card/book/$1" ]; then
    note "On the reader it is now on the card: card/book/$1"
  else
    note "It is not on the reader."
  fi
}

# --- Build ------------------------------------------------------------------

echo "${bold}Building the plugin, the simulator and pagora-cli (native preset)...${plain}"
cd "$repo"
cmake --preset native -DPAGORA_TOOLS=ON >/dev/null
cmake --build --preset native -j2 >/dev/null
sim="$build/pagora-readersim"
for program in "$build/pagora-cli" "$sim" "$build/pagora.wfx"; do
  [ -e "$program" ] || { echo "demo: $program was not built" >&2; exit 1; }
done

# --- A private reader -------------------------------------------------------

demo_dir=$(mktemp -d "${TMPDIR:-/tmp}/pagora-demo.XXXXXX")
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$demo_dir"
}
trap cleanup EXIT

image="$demo_dir/reader-image"
# The plugin looks for readers in this folder; the simulator puts its socket there.
export PAGORA_READER_DIR="$demo_dir/readers"
mkdir -p "$demo_dir/work"

"$sim" --write-demo "$image" >/dev/null
"$sim" --image "$image" >"$demo_dir/simulator.out" 2>"$demo_dir/simulator.log" &
sim_pid=$!
for _ in $(seq 1 100); do
  grep -qx ready "$demo_dir/simulator.out" 2>/dev/null && break
  kill -0 "$sim_pid" 2>/dev/null || { cat "$demo_dir/simulator.log" >&2; exit 1; }
  sleep 0.1
done
grep -qx ready "$demo_dir/simulator.out" || { echo "demo: the simulator did not start" >&2; exit 1; }

# The reader's figures decide where an upload goes: a book smaller than the
# free internal memory goes there, else one smaller than the card goes to
# the card, else nothing is uploaded.
mib() { awk -v s="[$1]" '$0 == s {in_s = 1; next} /^\[/ {in_s = 0} in_s && $1 == "size_mib" {print $3}' "$image/reader.ini"; }
used=$(find "$image/internal" -type f ! -name '.*' -printf '%s\n' | awk '{sum += $1} END {print sum + 0}')
free_memory=$(( $(mib internal) * 1048576 - used ))
card_size=$(( $(mib card) * 1048576 ))
card_book_size=$(( free_memory + 1048576 ))
if [ "$card_book_size" -ge "$card_size" ]; then
  echo "demo: the demo reader's card is too small for this demo" >&2
  exit 1
fi

# pagora-cli loads the plugin beside it, build/native/pagora.wfx.
export PATH="$build:$PATH"
cd "$demo_dir/work"
# Two books to upload, made of plain text (a reader shows any text book).
make_book() { (set +o pipefail; yes "$2" | head -c "$1" >"$3"); }
make_book 150000 "The lights of the harbour came on one by one." "Harbour Lights.rb"
make_book "$card_book_size" "The ship sailed on through the long night." "The Long Voyage.rb"

echo
echo "${bold}A simulated Pagora eBook reader is attached.${plain}"
note "It serves a copy of the demo reader, kept in $image:" \
     "internal memory of $(mib internal) MiB ($free_memory bytes free) and a $(mib card) MiB SmartMedia card." \
     "pagora-cli loads the plugin, build/native/pagora.wfx, and calls only its exports," \
     "as a file manager does. Every command first lists the folder, as the plugin expects."

# --- The session ------------------------------------------------------------

step "List the reader's books. Each title shows as a file named 'Title [Author].rb'." \
  pagora-cli ls

step "The same list with each book's details as columns, as a file manager shows them." \
  pagora-cli ls -l

step "A book's properties (the plugin's message box, which this build writes to standard error)." \
  pagora-cli info "The Salt Road [Amos Kettleby].rb"

step "Download a book to the current folder." \
  pagora-cli get "The Salt Road [Amos Kettleby].rb"
if cmp -s "The Salt Road [Amos Kettleby].rb" "$image/internal/book/The Salt Road.rb"; then
  note "The copy is byte for byte the reader's file."
else
  note "The copy differs from the reader's file!"
fi

step "Upload a small book: it fits the free internal memory, so it goes there." \
  pagora-cli put "Harbour Lights.rb"
where_is "Harbour Lights.rb"

step "Upload a book of $card_book_size bytes, more than the $free_memory bytes free inside: it goes to the card." \
  pagora-cli put "The Long Voyage.rb"
where_is "The Long Voyage.rb"

step "Delete a book on the reader." \
  pagora-cli rm "Letters from the Fen [Josiah Brandwell].rb"

step "List again: the two uploads are there (a file without an author shows '[]'), the deleted book is gone." \
  pagora-cli ls

echo
echo "${bold}Done.${plain} The simulator stops and the demo folder is removed."
