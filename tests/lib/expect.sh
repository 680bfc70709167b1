# SPDX-License-Identifier: Apache-2.0
# The verdict helper of the scripts' own tests, sourced by each: expect
# STATUS PATTERN -- command... runs the command and counts a failure (in
# $fails) unless its status is 0 where STATUS is 0, non-zero where it is
# not, and its output matches PATTERN.
fails=0
expect() {
  local want=$1 pattern=$2 out status=0
  shift 3
  out=$("$@" 2>&1) || status=$?
  if ((want == 0 && status != 0)) || ((want != 0 && status == 0)) || ! grep -q -- "$pattern" <<<"$out"; then
    echo "FAILED: $* (status $status, wanted $( ((want == 0)) && echo 0 || echo nonzero), pattern '$pattern'):"
    echo "$out"
    fails=$((fails + 1))
  fi
}
