#!/usr/bin/env python3
"""Writes the editor's nine language definitions (run from this folder)."""

DELIMS = '" \\t\\n,./?LTGT;:\\"\'{[}]~`%^AMP*()-+=!"'
DELIMS_NO_QUOTE_ESC = DELIMS

def kw(words, colour, case=True):
    lines = ["    <KEYWORDS>", f"      <CaseSensitive>{'true' if case else 'false'}</CaseSensitive>",
             f"      <Color>{colour}</Color>"]
    lines += [f"      <Keyword>{w}</Keyword>" for w in words.split()]
    lines.append("    </KEYWORDS>")
    return "\n".join(lines)

def block(start, end, colour, whole=False, case=True, word=False):
    s = f"      <BLOCK><Start>{start}</Start>"
    if end:
        s += f"<End>{end}</End>"
    s += f"<Color>{colour}</Color>"
    if whole:
        s += "<WholeText>true</WholeText>"
    if not case:
        s += "<CaseSensitive>false</CaseSensitive>"
    if word:
        s += "<WholeWord>true</WholeWord>"
    return s + "</BLOCK>"

def outline(start, end, label="...", nested=True, ignore=False, keywords=""):
    # An ignored kind (a string, a line comment) hides what it holds, so it never nests:
    # a nesting kind's delimiters would be matched one by one and hide nothing.
    s = f"      <BLOCK><Start>{start}</Start><End>{end}</End><ReplaceString>{label}</ReplaceString>"
    if not nested or ignore:
        s += "<AllowNestedBlocks>false</AllowNestedBlocks>"
    if ignore:
        s += "<Ignore>true</Ignore>"
    if keywords:
        s += "<KEYWORDS>" + "".join(f"<Keyword>{k}</Keyword>" for k in keywords.split()) + "</KEYWORDS>"
    return s + "</BLOCK>"

def definition(escapes, keywords, blocks, outlines, case=True, whole_words=False):
    out = ["<SETTINGS>", "  <OPTIONS>", f"    <WordDelimeters>{DELIMS}</WordDelimeters>",
           "    <SpecialDelimiters>\";.{}\\n\"</SpecialDelimiters>", "    <IntelliSenseChars>.</IntelliSenseChars>"]
    if escapes:
        out.append("    <EscapeSequences>" + "".join(f"<EscapeSequence>{e}</EscapeSequence>" for e in escapes)
                   + "</EscapeSequences>")
    out += ["  </OPTIONS>", "  <COLOR_DATA>"] + keywords + ["    <BLOCKS>"] + blocks + ["    </BLOCKS>", "  </COLOR_DATA>",
            "  <OUTLINE_DATA>", "    <BLOCKS>"] + outlines + ["    </BLOCKS>",
            f"    <CaseSensitive>{'true' if case else 'false'}</CaseSensitive>",
            f"    <WholeWords>{'true' if whole_words else 'false'}</WholeWords>", "  </OUTLINE_DATA>",
            "  <HYPERLINKS>", "    <EnableHyperlinkSupport>true</EnableHyperlinkSupport>",
            "    <HighlightWithColor>true</HighlightWithColor>", "    <Color>0000ff</Color>",
            "    <URLPrefixes><URLPrefix>http://</URLPrefix><URLPrefix>https://</URLPrefix>"
            "<URLPrefix>ftp://</URLPrefix><URLPrefix>mailto:</URLPrefix></URLPrefixes>",
            "  </HYPERLINKS>", "</SETTINGS>", ""]
    return "\n".join(out)

BLUE, GREEN, STRING, TYPE, PRE, DARKRED = "0000ff", '"darkgreen"', "a31515", "2b91af", "808080", '"darkred"'
BRACES = outline("{", "}", keywords="if else for while do switch try catch class struct namespace")
C_COMMENTS = [outline("//", "\\n", ignore=True), outline("/*", "*/", "/**/", nested=False)]
C_STRINGS = [outline('"', '"', ignore=True, nested=False), outline("'", "'", ignore=True, nested=False)]

files = {}
files["cpp.xml"] = definition(
    ["\\\\", '\\"', "\\'"],
    [kw("auto break case catch char class const constexpr continue default delete do double else enum explicit "
        "extern false float for friend goto if inline int long mutable namespace new noexcept nullptr operator "
        "private protected public register return short signed sizeof static static_cast struct switch template "
        "this throw true try typedef typename union unsigned using virtual void volatile while bool", BLUE),
     kw("#include #define #ifdef #ifndef #endif #if #else #elif #pragma #undef", PRE)],
    [block("/*", "*/", GREEN, whole=True), block('"', '"', STRING), block("'", "'", STRING),
     block("//", "", GREEN)],
    C_STRINGS + [BRACES] + C_COMMENTS)
files["csharp.xml"] = definition(
    ["\\\\", '\\"', "\\'"],
    [kw("abstract as base bool break byte case catch char checked class const continue decimal default delegate "
        "do double else enum event explicit extern false finally fixed float for foreach goto if implicit in int "
        "interface internal is lock long namespace new null object operator out override params private "
        "protected public readonly ref return sbyte sealed short sizeof static string struct switch this throw "
        "true try typeof uint ulong unchecked unsafe ushort using var virtual void volatile while async await",
        BLUE)],
    [block("/*", "*/", GREEN, whole=True), block('"', '"', STRING), block("'", "'", STRING),
     block("//", "", GREEN), block("#", "", PRE)],
    C_STRINGS + [BRACES] + C_COMMENTS)
files["javascript.xml"] = definition(
    ["\\\\", '\\"', "\\'", "\\`"],
    [kw("break case catch class const continue debugger default delete do else export extends false finally for "
        "function if import in instanceof let new null return super switch this throw true try typeof undefined "
        "var void while with yield async await of", BLUE)],
    [block("/*", "*/", GREEN, whole=True), block('"', '"', STRING), block("'", "'", STRING),
     block("`", "`", STRING), block("//", "", GREEN)],
    C_STRINGS + [BRACES] + C_COMMENTS)
files["basic.xml"] = definition(
    [],
    [kw("and as boolean byref byval call case const dim do double each else elseif end exit false for function "
        "goto if integer is long loop me mod new next not nothing object on or private public redim rem return "
        "select set single static step string sub then to true until wend while with xor", BLUE, case=False)],
    [block('"', '"', STRING), block("'", "", GREEN), block("rem", "", GREEN, case=False, word=True)],
    [outline('"', '"', ignore=True, nested=False), outline("sub", "end sub"), outline("function", "end function")],
    case=False, whole_words=True)
files["pascal.xml"] = definition(
    [],
    [kw("and array begin case const div do downto else end file for function goto if implementation in "
        "interface label mod nil not of or packed procedure program record repeat set then to type unit until "
        "uses var while with xor string integer boolean real char true false", BLUE, case=False)],
    [block("{", "}", GREEN, whole=True), block("(*", "*)", GREEN), block("'", "'", STRING), block("//", "", GREEN)],
    [outline("'", "'", ignore=True, nested=False), outline("begin", "end", keywords="procedure function"),
     outline("{", "}", "{}", nested=False)],
    case=False, whole_words=True)
files["asm.xml"] = definition(
    [],
    [kw("mov add sub mul imul div idiv inc dec and or xor not neg shl shr sal sar rol ror cmp test jmp je jne jz "
        "jnz jg jge jl jle ja jae jb jbe call ret push pop lea nop int loop movzx movsx", BLUE, case=False),
     kw("eax ebx ecx edx esi edi esp ebp rax rbx rcx rdx rsi rdi rsp rbp ax bx cx dx al bl cl dl ah bh ch dh",
        DARKRED, case=False),
     kw("section segment db dw dd dq resb resw resd equ proc endp macro endm global extern include", TYPE,
        case=False)],
    [block('"', '"', STRING), block("'", "'", STRING), block(";", "", GREEN)],
    [outline("proc", "endp"),
     outline("macro", "endm")],
    case=False, whole_words=True)
files["sql.xml"] = definition(
    ["''"],
    [kw("add all alter and as asc begin between by case check column commit constraint create database default "
        "delete desc distinct drop else end exists foreign from full group having if in index inner insert into "
        "is join key left like limit not null on or order outer primary references right rollback select set "
        "table then top truncate union unique update values view when where with", BLUE, case=False),
     kw("count sum avg min max coalesce cast convert substring upper lower int varchar char date datetime "
        "decimal float", "ff00ff", case=False)],
    [block("/*", "*/", GREEN, whole=True), block("'", "'", STRING), block("--", "", GREEN)],
    [outline("'", "'", ignore=True, nested=False), outline("begin", "end"), outline("/*", "*/", "/**/", nested=False)],
    case=False, whole_words=True)
files["html.xml"] = definition(
    [],
    [kw("html head title body div span p a img table tr td th thead tbody ul ol li form input button select "
        "option textarea script style link meta br hr h1 h2 h3 h4 h5 h6 strong em b i pre code label iframe",
        DARKRED, case=False),
     kw("href src class id name type value style width height alt title action method rel content charset lang",
        "ff0000", case=False)],
    [block("LT!--", "--GT", GREEN, whole=True), block("LT%", "%GT", "000080"), block('"', '"', BLUE)],
    [outline("LT!--", "--GT", "LT!----GT", nested=False), outline("LThead", "LT/head"), outline("LTbody", "LT/body"), outline("LTtable", "LT/table")],
    case=False)
files["xml.xml"] = definition(
    [],
    [],
    [block("LT!--", "--GT", GREEN, whole=True), block("LT?", "?GT", PRE), block("LT!", "GT", PRE),
     block('"', '"', BLUE), block("'", "'", BLUE), block("LT/", "GT", DARKRED), block("LT", "GT", DARKRED)],
    [outline("LT!--", "--GT", "LT!----GT", nested=False)])

for name, text in files.items():
    with open(name, "w", newline="\n") as f:
        f.write(text)
