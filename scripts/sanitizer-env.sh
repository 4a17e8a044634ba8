# The sanitizer settings shared by scripts/sanitize.sh and scripts/fuzz.sh (sourced): a report stops the
# program with a failing exit code and a readable stack.
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=0:halt_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1:check_initialization_order=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
