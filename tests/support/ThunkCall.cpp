// A cdecl routine in assembly: the state around the call is the point, so no compiler may choose it.
#include "support/ThunkCall.h"

extern "C" {
ThunkCall g_thunkCall;
LONG g_thunkCallEsp;
void __cdecl CallThunkWithMarkers(LONG code, LONG a, LONG b, LONG c, LONG d);
}
asm(".text\n"
    "_CallThunkWithMarkers:\n"
    "  pushl %ebp\n  pushl %ebx\n  pushl %esi\n  pushl %edi\n"
    "  movl %esp, _g_thunkCallEsp\n"
    "  movl 20(%esp), %eax\n"
    "  pushl 36(%esp)\n  pushl 36(%esp)\n  pushl 36(%esp)\n  pushl 36(%esp)\n" // d, c, b, a
    "  movl $0x11111111, %ebx\n  movl $0x22222222, %esi\n  movl $0x33333333, %edi\n  movl $0x44444444, %ebp\n"
    "  call *%eax\n"
    "  movl %eax, _g_thunkCall\n"
    "  movl _g_thunkCallEsp, %eax\n  subl %esp, %eax\n  movl %eax, _g_thunkCall+4\n"
    "  xorl %eax, %eax\n"
    "  cmpl $0x11111111, %ebx\n  jne 1f\n  cmpl $0x22222222, %esi\n  jne 1f\n"
    "  cmpl $0x33333333, %edi\n  jne 1f\n  cmpl $0x44444444, %ebp\n  jne 1f\n"
    "  incl %eax\n"
    "1:\n  movb %al, _g_thunkCall+8\n"
    "  movl _g_thunkCallEsp, %esp\n"
    "  popl %edi\n  popl %esi\n  popl %ebx\n  popl %ebp\n"
    "  ret\n");

ThunkCall CallThunk(LONG code, LONG a, LONG b, LONG c, LONG d)
{
    CallThunkWithMarkers(code, a, b, c, d);
    return g_thunkCall;
}
