/* The host side in i386 assembly: the way the authoring host calls a plug-in's
 * entry points, and its callbacks. Nothing here relies on the compiler's idea
 * of the calling conventions under test. */

        .data
        .globl  host_call_state
        .align  4
host_call_state:
esp_before:     .long 0
esp_after:      .long 0
result_eax:     .long 0
out_ebx:        .long 0
out_esi:        .long 0
out_edi:        .long 0
out_ebp:        .long 0
call_target:    .long 0
saved_ebp:      .long 0
saved_esp:      .long 0
host_cw:        .long 0x1332    /* the x87 control word the host runs with */
out_cw:         .long 0
out_sw:         .long 0
saved_cw:       .long 0
/* MXCSR, when the host has SSE (use_sse != 0, set by the test): all six
 * exceptions unmasked, round toward zero, flush-to-zero, as a hostile host
 * might run. */
host_mxcsr:     .long 0xE000
out_mxcsr:      .long 0
saved_mxcsr:    .long 0
use_sse:        .long 0

        .text

/* uint32_t host_call_register(const void* fn, const uint32_t* args, int32_t count) */
        .globl  host_call_register
        .type   host_call_register, @function
host_call_register:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        movl    %esp, saved_esp
        movl    %ebp, saved_ebp
        movl    8(%ebp), %eax
        movl    %eax, call_target
        movl    12(%ebp), %esi          /* args */
        movl    16(%ebp), %edi          /* count */
        /* k = number of stack arguments = max(count - 3, 0) */
        xorl    %ecx, %ecx
        cmpl    $3, %edi
        jle     1f
        leal    -3(%edi), %ecx
1:      /* the callee is to be entered with ESP = 4 (mod 16): not 16-byte aligned */
        andl    $-16, %esp
        movl    %ecx, %eax
        shll    $2, %eax
        movl    $8, %edx
        subl    %eax, %edx
        andl    $15, %edx
        subl    %edx, %esp
        movl    %esp, esp_before
        /* args[3 .. count-1], pushed left to right */
        movl    $3, %ecx
2:      cmpl    %edi, %ecx
        jge     3f
        pushl   (%esi,%ecx,4)
        incl    %ecx
        jmp     2b
3:      /* args[0 .. 2] in EAX, EDX, ECX (zero when absent) */
        xorl    %eax, %eax
        xorl    %edx, %edx
        xorl    %ecx, %ecx
        cmpl    $1, %edi
        jl      4f
        movl    0(%esi), %eax
        cmpl    $2, %edi
        jl      4f
        movl    4(%esi), %edx
        cmpl    $3, %edi
        jl      4f
        movl    8(%esi), %ecx
4:      jmp     call_common

/* uint32_t host_call_stdcall(const void* fn, const uint32_t* args, int32_t count) */
        .globl  host_call_stdcall
        .type   host_call_stdcall, @function
host_call_stdcall:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        movl    %esp, saved_esp
        movl    %ebp, saved_ebp
        movl    8(%ebp), %eax
        movl    %eax, call_target
        movl    12(%ebp), %esi
        movl    16(%ebp), %edi
        andl    $-16, %esp
        movl    %edi, %eax
        shll    $2, %eax
        movl    $8, %edx
        subl    %eax, %edx
        andl    $15, %edx
        subl    %edx, %esp
        movl    %esp, esp_before
        /* args pushed right to left: args[0] ends up at [ESP+4] in the callee */
        movl    %edi, %ecx
5:      testl   %ecx, %ecx
        jz      6f
        decl    %ecx
        pushl   (%esi,%ecx,4)
        jmp     5b
6:      movl    $0xDEAD0001, %eax
        movl    $0xDEAD0002, %edx
        movl    $0xDEAD0003, %ecx
        jmp     call_common

call_common:
        fnstcw  saved_cw
        fninit
        fldcw   host_cw
        cmpl    $0, use_sse
        je      7f
        stmxcsr saved_mxcsr
        ldmxcsr host_mxcsr
7:
        movl    $0x0B0B0B0B, %ebx
        movl    $0x05150515, %esi
        movl    $0x0D1D0D1D, %edi
        movl    $0x0EB00EB0, %ebp
        call    *call_target
        movl    %esp, esp_after
        movl    %eax, result_eax
        movl    %ebx, out_ebx
        movl    %esi, out_esi
        movl    %edi, out_edi
        movl    %ebp, out_ebp
        fnstcw  out_cw
        fnstsw  out_sw
        fnclex
        fldcw   saved_cw
        cmpl    $0, use_sse
        je      8f
        stmxcsr out_mxcsr
        ldmxcsr saved_mxcsr
8:
        movl    saved_ebp, %ebp
        movl    saved_esp, %esp         /* repaired even if the callee left it unbalanced */
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        movl    result_eax, %eax
        ret

/* A callback: records EAX, EDX, ECX and six stack slots into a CallbackRecord,
 * lets host_callback handle it, returns its value in EAX and removes
 * `nstack` stack slots, as the host's procedures do. */
        .macro  CALLBACK name, id, nstack
        .globl  \name
        .type   \name, @function
\name:
        pushl   %ebp
        movl    %esp, %ebp
        pushl   %ebx
        pushl   %esi
        pushl   %edi
        subl    $48, %esp
        movl    $\id, 0(%esp)
        movl    %eax, 4(%esp)
        movl    %edx, 8(%esp)
        movl    %ecx, 12(%esp)
        movl    8(%ebp), %eax
        movl    %eax, 16(%esp)
        movl    12(%ebp), %eax
        movl    %eax, 20(%esp)
        movl    16(%ebp), %eax
        movl    %eax, 24(%esp)
        movl    20(%ebp), %eax
        movl    %eax, 28(%esp)
        movl    24(%ebp), %eax
        movl    %eax, 32(%esp)
        movl    28(%ebp), %eax
        movl    %eax, 36(%esp)
        leal    4(%ebp), %eax           /* ESP at entry: the return address */
        movl    %eax, 40(%esp)
        movl    $\nstack, 44(%esp)
        movl    %esp, %eax
        pushl   %eax
        call    host_callback
        addl    $52, %esp
        popl    %edi
        popl    %esi
        popl    %ebx
        popl    %ebp
        ret     $(\nstack * 4)
        .endm

        /* HostAddAction(number, name, description, codes: array of byte, count: byte):
           EAX, EDX, ECX; stack: codes address, highest index, count (pushed in that order). */
        CALLBACK host_add_action, 1, 3
        CALLBACK host_get_variable, 2, 0       /* (name, var value) */
        CALLBACK host_set_variable, 3, 0       /* (name, value) */
        CALLBACK host_interface_access, 4, 0   /* (request, var data): boolean */
        CALLBACK host_stream_access, 5, 0      /* (name, out stream): boolean */
        CALLBACK host_add_file, 6, 3           /* never called by the plug-in */
        CALLBACK host_script_processor, 7, 1   /* never called by the plug-in */

        /* IStream methods, stdcall: this and the arguments on the stack. */
        CALLBACK stream_query_interface, 10, 3 /* (this, iid, object) */
        CALLBACK stream_add_ref, 11, 1         /* (this) */
        CALLBACK stream_release, 12, 1         /* (this) */
        CALLBACK stream_read, 13, 4            /* (this, buffer, count, read) */
        CALLBACK stream_write, 14, 4           /* (this, buffer, count, written) */
        CALLBACK stream_seek, 15, 5            /* (this, move: 64 bits, origin, new position) */
        CALLBACK stream_set_size, 16, 3
        CALLBACK stream_copy_to, 16, 6
        CALLBACK stream_commit, 16, 2
        CALLBACK stream_revert, 16, 1
        CALLBACK stream_lock_region, 16, 6
        CALLBACK stream_unlock_region, 16, 6
        CALLBACK stream_stat, 16, 3
        CALLBACK stream_clone, 16, 2

        .section .note.GNU-stack,"",@progbits
