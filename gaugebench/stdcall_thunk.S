/* int bench_call_stdcall(void* fn, const uint32_t* args, uint32_t nwords,
                          uint32_t* eax_out, double* st0_out)
   Calls fn with nwords stack arguments and returns how many bytes the callee
   left on (negative) or took off (positive) the stack beyond what the standard
   calling convention asks: 0 for a sound routine. st(0) is stored (and popped)
   only when st0_out is not null. */
    .text
    .globl _bench_call_stdcall
_bench_call_stdcall:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 12(%ebp), %esi
    movl 16(%ebp), %edx
    movl %esp, %ebx
1:  testl %edx, %edx
    jz 2f
    decl %edx
    pushl (%esi,%edx,4)
    jmp 1b
2:  call *8(%ebp)
    movl %esp, %edi
    subl %ebx, %edi
    movl %ebx, %esp
    movl 20(%ebp), %ecx
    testl %ecx, %ecx
    jz 3f
    movl %eax, (%ecx)
3:  movl 24(%ebp), %ecx
    testl %ecx, %ecx
    jz 4f
    fstpl (%ecx)
4:  movl %edi, %eax
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
