#include "foreign/ForeignCall.h"

#if defined(__i386__)

// A frame-based exception registration on the stack: {next, handler} as the
// system walks them, followed by the guard's frame pointer so that the handler
// can return into the guard. The handler lets the system unwind every frame
// registered above ours (their own cleanup runs), then removes ours and returns
// 1 from TvxCallGuarded. Unwinding passes are left to the other handlers.
// Everything the guard needs after the unwind is read from its own stack,
// because RtlUnwind is not required to keep registers.
__asm__(
    ".text\n"
    ".globl _TvxCallGuarded\n"
    "_TvxCallGuarded:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %ebx\n"
    "    pushl %esi\n"
    "    pushl %edi\n"
    "    pushl %ebp\n"                 // registration + 8: the guard's frame
    "    pushl $_TvxGuardHandler\n"     // registration + 4: handler
    "    pushl %fs:0\n"                 // registration + 0: next
    "    movl %esp, %fs:0\n"
    "    pushl 12(%ebp)\n"
    "    call *8(%ebp)\n"
    "    addl $4, %esp\n"
    "    movl (%esp), %ecx\n"
    "    movl %ecx, %fs:0\n"
    "    addl $12, %esp\n"
    "    xorl %eax, %eax\n"
    "    popl %edi\n"
    "    popl %esi\n"
    "    popl %ebx\n"
    "    popl %ebp\n"
    "    ret\n"
    "\n"
    // EXCEPTION_DISPOSITION __cdecl (record, registration, context, dispatcher)
    "_TvxGuardHandler:\n"
    "    movl 4(%esp), %eax\n"
    "    testl $6, 4(%eax)\n"           // EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND
    "    jz 1f\n"
    "    movl $1, %eax\n"               // ExceptionContinueSearch
    "    ret\n"
    "1:\n"
    "    movl 8(%esp), %edx\n"
    "    pushl $0\n"
    "    pushl %eax\n"
    "    pushl $0\n"
    "    pushl %edx\n"
    "    call _RtlUnwind@16\n"
    "    movl 8(%esp), %eax\n"
    "    movl (%eax), %ecx\n"
    "    movl %ecx, %fs:0\n"
    "    movl 8(%eax), %ebp\n"
    "    leal -12(%ebp), %esp\n"
    "    movl $1, %eax\n"
    "    popl %edi\n"
    "    popl %esi\n"
    "    popl %ebx\n"
    "    popl %ebp\n"
    "    ret\n");

#elif defined(__x86_64__)

// Table-based unwinding: the guard's unwind data names TvxGuardHandler as its
// exception handler. The handler has the system unwind every frame above the
// guard (their own cleanup runs) and resume at TvxGuardResume with 1 in rax;
// the frame pointer gives the guard its stack back.
extern "C" void TvxGuardResume();

__asm__(
    ".text\n"
    ".globl TvxCallGuarded\n"
    ".def TvxCallGuarded; .scl 2; .type 32; .endef\n"
    ".seh_proc TvxCallGuarded\n"
    "TvxCallGuarded:\n"
    "    pushq %rbp\n"
    "    .seh_pushreg %rbp\n"
    "    movq %rsp, %rbp\n"
    "    .seh_setframe %rbp, 0\n"
    "    subq $32, %rsp\n"
    "    .seh_stackalloc 32\n"
    "    .seh_endprologue\n"
    "    .seh_handler TvxGuardHandler, @except\n"
    "    movq %rcx, %rax\n"
    "    movq %rdx, %rcx\n"
    "    callq *%rax\n"
    "    xorl %eax, %eax\n"
    ".globl TvxGuardResume\n"
    "TvxGuardResume:\n"
    "    leaq 0(%rbp), %rsp\n"
    "    popq %rbp\n"
    "    ret\n"
    ".seh_endproc\n");

extern "C" EXCEPTION_DISPOSITION TvxGuardHandler(EXCEPTION_RECORD* record, void* frame, CONTEXT*,
                                                 DISPATCHER_CONTEXT* dispatch)
{
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND))
        return ExceptionContinueSearch;
    RtlUnwindEx(frame, reinterpret_cast<void*>(&TvxGuardResume), record, reinterpret_cast<void*>(1),
                dispatch->ContextRecord, dispatch->HistoryTable);
    return ExceptionContinueSearch;  // not reached: the unwind resumes in the guard
}

#else
#error "no guard for calls into other vendors' DLLs on this processor"
#endif
