/*
 * CPUID and RDTSC under a structured exception frame of their own, for the
 * 32-bit program. A 486 without CPUID raises an illegal-instruction fault, and
 * RDTSC faults where the system forbids it; both must come back as a result,
 * not end the process. The frame is pushed on fs:[0] in the layout Windows
 * 95 and NT 4.0 walk: next, handler, then our resume address and frame base.
 *
 *   int  ZphGuardedCpuid(unsigned leaf, unsigned regs[4])  1 ran, 0 faulted
 *   int  ZphGuardedRdtsc(unsigned long long* count)        1 ran, 0 faulted
 */
    .text

    .globl _ZphGuardedCpuid
_ZphGuardedCpuid:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl %ebp
    pushl $cpuid_fault
    pushl $_ZphGuardHandler
    pushl %fs:0
    movl %esp, %fs:0
    movl 8(%ebp), %eax
    xorl %ecx, %ecx
    cpuid
    movl 12(%ebp), %esi
    movl %eax, 0(%esi)
    movl %ebx, 4(%esi)
    movl %ecx, 8(%esi)
    movl %edx, 12(%esi)
    movl $1, %eax
    jmp cpuid_done
cpuid_fault:
    xorl %eax, %eax
cpuid_done:
    movl (%esp), %ecx
    movl %ecx, %fs:0
    addl $16, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    .globl _ZphGuardedRdtsc
_ZphGuardedRdtsc:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl %ebp
    pushl $rdtsc_fault
    pushl $_ZphGuardHandler
    pushl %fs:0
    movl %esp, %fs:0
    rdtsc
    movl 8(%ebp), %esi
    movl %eax, 0(%esi)
    movl %edx, 4(%esi)
    movl $1, %eax
    jmp rdtsc_done
rdtsc_fault:
    xorl %eax, %eax
rdtsc_done:
    movl (%esp), %ecx
    movl %ecx, %fs:0
    addl $16, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

/*
 * EXCEPTION_DISPOSITION handler(EXCEPTION_RECORD*, frame, CONTEXT*, dispatcher)
 * Resumes at the frame's resume address with esp at the frame and the saved
 * ebp. During an unwind it declines, so that outer frames unwind normally.
 */
_ZphGuardHandler:
    movl 4(%esp), %ecx
    testl $6, 4(%ecx)          /* ExceptionFlags: EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND */
    jnz handler_search
    movl 8(%esp), %edx         /* our frame */
    movl 12(%esp), %eax        /* CONTEXT */
    movl 8(%edx), %ecx
    movl %ecx, 0xB8(%eax)      /* Eip */
    movl %edx, 0xC4(%eax)      /* Esp */
    movl 12(%edx), %ecx
    movl %ecx, 0xB4(%eax)      /* Ebp */
    xorl %eax, %eax            /* ExceptionContinueExecution */
    ret
handler_search:
    movl $1, %eax              /* ExceptionContinueSearch */
    ret
