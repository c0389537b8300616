@ An unknown instruction and a warning of our own.
    .text
    foo r0
    .warning "stack check disabled"
    .word 0
