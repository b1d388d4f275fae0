// Recovery from libjpeg's fatal errors, shared by the program's decoder
// (jpeg_reader), its encoder (jpeg_writer) and the tests' picture maker.
// Only their .cpp files include this header: libjpeg's types stay there.
//
// The library reports a fatal error by calling error_exit, which must not
// return. Ours records the library's message (and errno, the cause of a
// failed write) and jumps back to run_guarded, the one place that calls
// setjmp; the caller then turns the message into an exception. Only the
// library's C frames and a lambda holding references lie between the setjmp
// and the longjmp, so the jump skips no destructor.
#pragma once

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <type_traits>

#include <jpeglib.h>

namespace veltaro {

struct jpeg_guard {
    jpeg_error_mgr library;  // first, so the library's pointer to it is ours too
    void (*library_emit_message)(j_common_ptr, int);  // for a caller that screens warnings
    std::jmp_buf recovery;
    int error_number;  // errno when the error was raised
    char message[JMSG_LENGTH_MAX];
};
static_assert(std::is_standard_layout_v<jpeg_guard>);

// error_exit of a guarded record: never returns to the library.
[[noreturn]] inline void leave_library(j_common_ptr info) {
    auto* guard = reinterpret_cast<jpeg_guard*>(info->err);
    guard->error_number = errno;
    (*info->err->format_message)(info, guard->message);
    std::longjmp(guard->recovery, 1);
}

// The library's standard error manager, with fatal errors coming back here.
inline jpeg_error_mgr* install_guard(jpeg_guard& guard) {
    jpeg_error_mgr* errors = jpeg_std_error(&guard.library);
    errors->error_exit = leave_library;
    guard.library_emit_message = errors->emit_message;
    return errors;
}

// Runs step, which calls the library; false when the library gave up, with
// its message in guard.message.
template <typename Step>
bool run_guarded(jpeg_guard& guard, const Step& step) {
    if (setjmp(guard.recovery) != 0) return false;
    errno = 0;  // so a failed write's errno is this step's own
    step();
    return true;
}

}  // namespace veltaro
