/* The 32-bit half of the flat thunk to zphtst16: its thunk data and the
   entry that carries one call down to 16-bit code. Laid out as Microsoft's
   thunk compiler lays out a 32-to-16 thunk, since ThunkConnect32 and
   QT_Thunk expect exactly that. Also assembled as ELF for the emulated test. */

#ifdef __ELF__
#define SYMBOL(name) name
#define ENTRY_SYMBOL ThunkGetBridgeData
#else
#define SYMBOL(name) _##name
#define ENTRY_SYMBOL _ThunkGetBridgeData@16
#endif

    .data
    .globl SYMBOL(zphtst_ThunkData32)
    .balign 4
SYMBOL(zphtst_ThunkData32):
    .ascii "LS01"
    .long 0x0504                        /* must match the 16-bit half's script checksum */
    .long 0                             /* ThunkConnect32: the 16-bit jump table */
    .ascii "LB01"
    .long 0                             /* flags */
    .long 0
    .long 0
    .long patchArea1 - SYMBOL(zphtst_ThunkData32)
    .long patchArea2 - SYMBOL(zphtst_ThunkData32)
patchArea1:                             /* ThunkConnect32 writes the way to QT_Thunk here */
    .fill 32, 1, 0xCC
patchArea2:                             /* 16-to-32 prologue; unused in a one-way thunk */
    .fill 32, 1, 0xCC

    .globl SYMBOL(zphtstQtThunk)
    .balign 4
SYMBOL(zphtstQtThunk):
    .long patchArea1

/* ThunkGetBridgeData(version, vendor, device, latency), stdcall.
   Maps each flat pointer to 16:16 and pushes it, the first argument first,
   which is the PASCAL order of the 16-bit function. The SUnMapLS calls
   leave EAX alone, so the result survives them. */
    .text
    .globl ENTRY_SYMBOL
ENTRY_SYMBOL:
    movb $0, %cl                        /* thunk index 0 */
    pushl %ebp
    movl %esp, %ebp
    pushl %ecx                          /* QT_Thunk finds the index at -4(%ebp) */
    subl $60, %esp                      /* and its scratch below it */
    call SYMBOL(SMapLS_IP_EBP_8)
    pushl %eax
    call SYMBOL(SMapLS_IP_EBP_12)
    pushl %eax
    call SYMBOL(SMapLS_IP_EBP_16)
    pushl %eax
    call SYMBOL(SMapLS_IP_EBP_20)
    pushl %eax
    call *SYMBOL(zphtstQtThunk)
    movzwl %ax, %eax                    /* 0x8000 is 32768, not a negative number */
    call SYMBOL(SUnMapLS_IP_EBP_8)
    call SYMBOL(SUnMapLS_IP_EBP_12)
    call SYMBOL(SUnMapLS_IP_EBP_16)
    call SYMBOL(SUnMapLS_IP_EBP_20)
    leave
    ret $16

#ifdef __ELF__
    .section .note.GNU-stack,"",@progbits
#endif
