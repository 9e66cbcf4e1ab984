// Liberation Mono, carried inside panelhost so text renders the same wherever
// it runs (and under Wine, where the Debian font folder is not at hand).
#if defined(_WIN32)
#define SYM(name) _##name
        .section .rdata,"dr"
#else
#define SYM(name) name
        .section .rodata
#endif
        .balign 4
        .globl SYM(panelhost_font_data)
SYM(panelhost_font_data):
        .incbin PANEL_FONT_FILE
SYM(panelhost_font_end):
        .balign 4
        .globl SYM(panelhost_font_size)
SYM(panelhost_font_size):
        .long SYM(panelhost_font_end) - SYM(panelhost_font_data)
#if !defined(_WIN32)
        .section .note.GNU-stack,"",@progbits
#endif
