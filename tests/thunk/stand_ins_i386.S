/* Stand-ins for Windows 9x KERNEL32's pointer mapping and for QT_Thunk, and
   a caller that checks what the thunk entry leaves in the registers. They
   behave as the entry may rely on: SMapLS_IP_EBP_n returns the 16:16 pointer
   in EAX and writes it back to n(%ebp); SUnMapLS_IP_EBP_n frees what it
   finds at n(%ebp) and keeps every register. */

    .text

#define MAP(n)                          \
    .globl SMapLS_IP_EBP_##n;           \
SMapLS_IP_EBP_##n:                      \
    pushl %ecx;                         \
    pushl %edx;                         \
    pushl n(%ebp);                      \
    pushl $n;                           \
    call RecordMap;                     \
    addl $8, %esp;                      \
    movl %eax, n(%ebp);                 \
    popl %edx;                          \
    popl %ecx;                          \
    ret

#define UNMAP(n)                        \
    .globl SUnMapLS_IP_EBP_##n;         \
SUnMapLS_IP_EBP_##n:                    \
    pushal;                             \
    pushl n(%ebp);                      \
    pushl $n;                           \
    call RecordUnmap;                   \
    addl $8, %esp;                      \
    popal;                              \
    ret

MAP(8)
MAP(12)
MAP(16)
MAP(20)
UNMAP(8)
UNMAP(12)
UNMAP(16)
UNMAP(20)

/* Entered from the first patch area as QT_Thunk would be: the thunk index
   at -4(%ebp), the four 16:16 pointers pushed above the return address. */
    .globl FakeQtThunk
FakeQtThunk:
    pushl %ebp
    movl %esp, %ebp
    pushl 8(%ebp)                       /* the last pushed: argument 4 */
    pushl 12(%ebp)
    pushl 16(%ebp)
    pushl 20(%ebp)                      /* the first pushed: argument 1 */
    movl 0(%ebp), %eax                  /* the entry's frame pointer */
    movzbl -4(%eax), %eax               /* its thunk index */
    pushl %eax
    call RecordTarget                   /* returns the scripted 32-bit EAX */
    addl $20, %esp
    movl $0x5A5A5A5A, %ecx              /* a 16-bit callee keeps neither */
    movl $0xA5A5A5A5, %edx
    popl %ebp
    ret

/* CallEntry(a1, a2, a3, a4): calls the entry like compiled stdcall code
   would, with known values in the registers the callee must keep. */
    .globl CallEntry
CallEntry:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl $0x11111111, %ebx
    movl $0x22222222, %esi
    movl $0x33333333, %edi
    movl %esp, espBefore
    movl %ebp, ebpBefore
    pushl 20(%ebp)
    pushl 16(%ebp)
    pushl 12(%ebp)
    pushl 8(%ebp)
    call ThunkGetBridgeData
    movl %esp, espAfter
    movl %ebp, ebpAfter
    movl %ebx, savedAfter
    movl %esi, savedAfter + 4
    movl %edi, savedAfter + 8
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    .section .note.GNU-stack,"",@progbits
