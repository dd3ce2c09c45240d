#include "filter/ForeignCall.h"

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

#else

// Table-based unwinding (64-bit) has no stack registration to make here; the
// call runs unguarded until a guard for that model is built.
extern "C" int TvxCallGuarded(void (*call)(void* context), void* context)
{
    call(context);
    return 0;
}

#endif
