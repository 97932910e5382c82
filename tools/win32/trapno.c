/* Preloaded into 32-bit Wine under qemu-user only. qemu delivers fault signals
 * with sigcontext.trapno = -1, and Wine's i386 signal handler decides by that
 * field: a NULL read would reach the program as an illegal instruction. This
 * rebuilds trapno from the signal and si_code before Wine's handler runs.
 * Built without the C library's headers (the machine has no i386 -dev
 * packages), so the few kernel types are spelt out here. */
typedef unsigned int size_t;

struct siginfo { int si_signo, si_errno, si_code; };
typedef void (*action_fn)(int, struct siginfo *, void *);

/* The i386 kernel's struct sigaction as glibc's sigaction() takes it. */
struct sigaction_i386 {
    action_fn handler;
    unsigned long mask[32];
    int flags;
    void (*restorer)(void);
};

enum { SIGILL = 4, SIGBUS = 7, SIGFPE = 8, SIGSEGV = 11, NSIG = 65, SA_SIGINFO = 4 };
enum { REG_TRAPNO = 12 };  /* gregs index in the i386 ucontext */
enum { TRAP_DIVIDE = 0, TRAP_OFLOW = 4, TRAP_ILLOPN = 6, TRAP_PROTFLT = 13, TRAP_PAGEFLT = 14,
       TRAP_ARITHTRAP = 16, TRAP_ALIGNFLT = 17 };
enum { SI_KERNEL = 0x80, FPE_INTDIV = 1, FPE_INTOVF = 2, BUS_ADRALN = 1 };

struct ucontext_i386 {
    unsigned long flags;
    void *link;
    struct { void *sp; int flags; size_t size; } stack;
    struct { int gregs[19]; } mcontext;
};

extern void *dlsym(void *, const char *);
#define RTLD_NEXT ((void *)-1l)

static action_fn chained[NSIG];

static int trap_for(int sig, int code) {
    switch (sig) {
    case SIGSEGV: return code == SI_KERNEL ? TRAP_PROTFLT : TRAP_PAGEFLT;
    case SIGBUS: return code == BUS_ADRALN ? TRAP_ALIGNFLT : TRAP_PAGEFLT;
    case SIGFPE: return code == FPE_INTDIV ? TRAP_DIVIDE : code == FPE_INTOVF ? TRAP_OFLOW : TRAP_ARITHTRAP;
    default: return TRAP_ILLOPN;
    }
}

static void mend(int sig, struct siginfo *info, void *context) {
    struct ucontext_i386 *uc = context;
    if (uc->mcontext.gregs[REG_TRAPNO] == -1)
        uc->mcontext.gregs[REG_TRAPNO] = trap_for(sig, info->si_code);
    chained[sig](sig, info, context);
}

static int faults(int sig) { return sig == SIGSEGV || sig == SIGBUS || sig == SIGFPE || sig == SIGILL; }

int sigaction(int sig, const struct sigaction_i386 *act, struct sigaction_i386 *old) {
    static int (*real)(int, const struct sigaction_i386 *, struct sigaction_i386 *);
    if (!real) real = dlsym(RTLD_NEXT, "sigaction");
    if (!act || !faults(sig) || !(act->flags & SA_SIGINFO)) {
        int result = real(sig, act, old);
        if (act && faults(sig)) chained[sig] = 0;
        return result;
    }
    struct sigaction_i386 ours = *act;
    ours.handler = mend;
    action_fn previous = chained[sig];
    chained[sig] = act->handler;
    int result = real(sig, &ours, old);
    if (result != 0) chained[sig] = previous;
    else if (old && old->handler == mend) old->handler = previous;
    return result;
}
