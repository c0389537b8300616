# An instruction the host assembler does not know, and a warning of our own.
    foo %eax
    .warning "careful"
