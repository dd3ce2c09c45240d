#include "HtmlEntities.h"

#include <cwchar>

namespace {
struct Entity {
    const wchar_t* name;
    unsigned code;
};

// The named character references of HTML 4 and XML, and the upper-case
// spellings that browsers also accept, sorted by name (ordinal,
// case-sensitive) for a binary search.
const Entity kEntities[] = {
    {L"AElig", 0x00C6}, {L"AMP", 0x0026}, {L"Aacute", 0x00C1}, {L"Acirc", 0x00C2},
    {L"Agrave", 0x00C0}, {L"Alpha", 0x0391}, {L"Aring", 0x00C5}, {L"Atilde", 0x00C3},
    {L"Auml", 0x00C4}, {L"Beta", 0x0392}, {L"COPY", 0x00A9}, {L"Ccedil", 0x00C7},
    {L"Chi", 0x03A7}, {L"Dagger", 0x2021}, {L"Delta", 0x0394}, {L"ETH", 0x00D0},
    {L"Eacute", 0x00C9}, {L"Ecirc", 0x00CA}, {L"Egrave", 0x00C8}, {L"Epsilon", 0x0395},
    {L"Eta", 0x0397}, {L"Euml", 0x00CB}, {L"GT", 0x003E}, {L"Gamma", 0x0393},
    {L"Iacute", 0x00CD}, {L"Icirc", 0x00CE}, {L"Igrave", 0x00CC}, {L"Iota", 0x0399},
    {L"Iuml", 0x00CF}, {L"Kappa", 0x039A}, {L"LT", 0x003C}, {L"Lambda", 0x039B},
    {L"Mu", 0x039C}, {L"Ntilde", 0x00D1}, {L"Nu", 0x039D}, {L"OElig", 0x0152},
    {L"Oacute", 0x00D3}, {L"Ocirc", 0x00D4}, {L"Ograve", 0x00D2}, {L"Omega", 0x03A9},
    {L"Omicron", 0x039F}, {L"Oslash", 0x00D8}, {L"Otilde", 0x00D5}, {L"Ouml", 0x00D6},
    {L"Phi", 0x03A6}, {L"Pi", 0x03A0}, {L"Prime", 0x2033}, {L"Psi", 0x03A8},
    {L"QUOT", 0x0022}, {L"REG", 0x00AE}, {L"Rho", 0x03A1}, {L"Scaron", 0x0160},
    {L"Sigma", 0x03A3}, {L"THORN", 0x00DE}, {L"Tau", 0x03A4}, {L"Theta", 0x0398},
    {L"Uacute", 0x00DA}, {L"Ucirc", 0x00DB}, {L"Ugrave", 0x00D9}, {L"Upsilon", 0x03A5},
    {L"Uuml", 0x00DC}, {L"Xi", 0x039E}, {L"Yacute", 0x00DD}, {L"Yuml", 0x0178},
    {L"Zeta", 0x0396}, {L"aacute", 0x00E1}, {L"acirc", 0x00E2}, {L"acute", 0x00B4},
    {L"aelig", 0x00E6}, {L"agrave", 0x00E0}, {L"alefsym", 0x2135}, {L"alpha", 0x03B1},
    {L"amp", 0x0026}, {L"and", 0x2227}, {L"ang", 0x2220}, {L"apos", 0x0027},
    {L"aring", 0x00E5}, {L"asymp", 0x2248}, {L"atilde", 0x00E3}, {L"auml", 0x00E4},
    {L"bdquo", 0x201E}, {L"beta", 0x03B2}, {L"brvbar", 0x00A6}, {L"bull", 0x2022},
    {L"cap", 0x2229}, {L"ccedil", 0x00E7}, {L"cedil", 0x00B8}, {L"cent", 0x00A2},
    {L"chi", 0x03C7}, {L"circ", 0x02C6}, {L"clubs", 0x2663}, {L"cong", 0x2245},
    {L"copy", 0x00A9}, {L"crarr", 0x21B5}, {L"cup", 0x222A}, {L"curren", 0x00A4},
    {L"dArr", 0x21D3}, {L"dagger", 0x2020}, {L"darr", 0x2193}, {L"deg", 0x00B0},
    {L"delta", 0x03B4}, {L"diams", 0x2666}, {L"divide", 0x00F7}, {L"eacute", 0x00E9},
    {L"ecirc", 0x00EA}, {L"egrave", 0x00E8}, {L"empty", 0x2205}, {L"emsp", 0x2003},
    {L"ensp", 0x2002}, {L"epsilon", 0x03B5}, {L"equiv", 0x2261}, {L"eta", 0x03B7},
    {L"eth", 0x00F0}, {L"euml", 0x00EB}, {L"euro", 0x20AC}, {L"exist", 0x2203},
    {L"fnof", 0x0192}, {L"forall", 0x2200}, {L"frac12", 0x00BD}, {L"frac14", 0x00BC},
    {L"frac34", 0x00BE}, {L"frasl", 0x2044}, {L"gamma", 0x03B3}, {L"ge", 0x2265},
    {L"gt", 0x003E}, {L"hArr", 0x21D4}, {L"harr", 0x2194}, {L"hearts", 0x2665},
    {L"hellip", 0x2026}, {L"iacute", 0x00ED}, {L"icirc", 0x00EE}, {L"iexcl", 0x00A1},
    {L"igrave", 0x00EC}, {L"image", 0x2111}, {L"infin", 0x221E}, {L"int", 0x222B},
    {L"iota", 0x03B9}, {L"iquest", 0x00BF}, {L"isin", 0x2208}, {L"iuml", 0x00EF},
    {L"kappa", 0x03BA}, {L"lArr", 0x21D0}, {L"lambda", 0x03BB}, {L"lang", 0x2329},
    {L"laquo", 0x00AB}, {L"larr", 0x2190}, {L"lceil", 0x2308}, {L"ldquo", 0x201C},
    {L"le", 0x2264}, {L"lfloor", 0x230A}, {L"lowast", 0x2217}, {L"loz", 0x25CA},
    {L"lrm", 0x200E}, {L"lsaquo", 0x2039}, {L"lsquo", 0x2018}, {L"lt", 0x003C},
    {L"macr", 0x00AF}, {L"mdash", 0x2014}, {L"micro", 0x00B5}, {L"middot", 0x00B7},
    {L"minus", 0x2212}, {L"mu", 0x03BC}, {L"nabla", 0x2207}, {L"nbsp", 0x00A0},
    {L"ndash", 0x2013}, {L"ne", 0x2260}, {L"ni", 0x220B}, {L"not", 0x00AC},
    {L"notin", 0x2209}, {L"nsub", 0x2284}, {L"ntilde", 0x00F1}, {L"nu", 0x03BD},
    {L"oacute", 0x00F3}, {L"ocirc", 0x00F4}, {L"oelig", 0x0153}, {L"ograve", 0x00F2},
    {L"oline", 0x203E}, {L"omega", 0x03C9}, {L"omicron", 0x03BF}, {L"oplus", 0x2295},
    {L"or", 0x2228}, {L"ordf", 0x00AA}, {L"ordm", 0x00BA}, {L"oslash", 0x00F8},
    {L"otilde", 0x00F5}, {L"otimes", 0x2297}, {L"ouml", 0x00F6}, {L"para", 0x00B6},
    {L"part", 0x2202}, {L"permil", 0x2030}, {L"perp", 0x22A5}, {L"phi", 0x03C6},
    {L"pi", 0x03C0}, {L"piv", 0x03D6}, {L"plusmn", 0x00B1}, {L"pound", 0x00A3},
    {L"prime", 0x2032}, {L"prod", 0x220F}, {L"prop", 0x221D}, {L"psi", 0x03C8},
    {L"quot", 0x0022}, {L"rArr", 0x21D2}, {L"radic", 0x221A}, {L"rang", 0x232A},
    {L"raquo", 0x00BB}, {L"rarr", 0x2192}, {L"rceil", 0x2309}, {L"rdquo", 0x201D},
    {L"real", 0x211C}, {L"reg", 0x00AE}, {L"rfloor", 0x230B}, {L"rho", 0x03C1},
    {L"rlm", 0x200F}, {L"rsaquo", 0x203A}, {L"rsquo", 0x2019}, {L"sbquo", 0x201A},
    {L"scaron", 0x0161}, {L"sdot", 0x22C5}, {L"sect", 0x00A7}, {L"shy", 0x00AD},
    {L"sigma", 0x03C3}, {L"sigmaf", 0x03C2}, {L"sim", 0x223C}, {L"spades", 0x2660},
    {L"sub", 0x2282}, {L"sube", 0x2286}, {L"sum", 0x2211}, {L"sup", 0x2283},
    {L"sup1", 0x00B9}, {L"sup2", 0x00B2}, {L"sup3", 0x00B3}, {L"supe", 0x2287},
    {L"szlig", 0x00DF}, {L"tau", 0x03C4}, {L"there4", 0x2234}, {L"theta", 0x03B8},
    {L"thetasym", 0x03D1}, {L"thinsp", 0x2009}, {L"thorn", 0x00FE}, {L"tilde", 0x02DC},
    {L"times", 0x00D7}, {L"trade", 0x2122}, {L"uArr", 0x21D1}, {L"uacute", 0x00FA},
    {L"uarr", 0x2191}, {L"ucirc", 0x00FB}, {L"ugrave", 0x00F9}, {L"uml", 0x00A8},
    {L"upsih", 0x03D2}, {L"upsilon", 0x03C5}, {L"uuml", 0x00FC}, {L"weierp", 0x2118},
    {L"xi", 0x03BE}, {L"yacute", 0x00FD}, {L"yen", 0x00A5}, {L"yuml", 0x00FF},
    {L"zeta", 0x03B6}, {L"zwj", 0x200D}, {L"zwnj", 0x200C},
};

// Windows-1252 meanings of the numeric references &#128; to &#159;, which
// pages written on Windows use for quotes, dashes and the euro sign.
const unsigned short kWindows1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0xFFFD,
    0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A,
    0x0153, 0xFFFD, 0x017E, 0x0178};
}

unsigned LookupNamedEntity(const wchar_t* name)
{
    size_t low = 0;
    size_t high = sizeof(kEntities) / sizeof(kEntities[0]);
    while (low < high) {
        const size_t mid = (low + high) / 2;
        const int order = std::wcscmp(name, kEntities[mid].name);
        if (order == 0)
            return kEntities[mid].code;
        if (order < 0)
            high = mid;
        else
            low = mid + 1;
    }
    return 0;
}

unsigned NumericReferenceCode(unsigned long long value)
{
    if (value >= 0x80 && value <= 0x9F)
        return kWindows1252High[value - 0x80];
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0xFFFD;
    return static_cast<unsigned>(value);
}
