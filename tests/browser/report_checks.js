// Runs in a page that frames a report made with the shipped stylesheet, and puts what it found
// in the page title: "ok" or the failed checks. Needs --allow-file-access-from-files.
function checkReport(frame) {
    const page = frame.contentDocument;
    const view = frame.contentWindow;
    const failures = [];
    const expect = (what, holds) => { if (!holds) failures.push(what); };
    const links = Array.from(page.querySelectorAll("a"));
    const link = (name) => links.find((a) => a.textContent === name);
    const box = (element) => element.getBoundingClientRect();

    // The stylesheet reference, percent-encoded as UTF-8 in the report, reaches the stylesheet.
    const sheet = page.querySelector("link").href;
    expect("reference " + sheet, sheet.endsWith("/styles/%C3%A9%20%C3%BC.css?v=%C3%A9"));
    expect("stylesheet not applied", view.getComputedStyle(page.querySelector("td")).display === "inline-block");

    // Names that differ only in spaces look different, and spaces alone make a link to click.
    const spaces = link("   ");
    spaces.scrollIntoView({block: "center"});
    const middle = box(spaces);
    expect("space-only link has no width", middle.width > 0);
    expect("space-only link cannot be clicked",
           page.elementFromPoint(middle.left + middle.width / 2, middle.top + middle.height / 2) === spaces);
    const xOffset = (a) => {
        const range = page.createRange();
        const text = a.firstChild;
        range.setStart(text, text.data.indexOf("x"));
        range.setEnd(text, text.data.indexOf("x") + 1);
        return range.getBoundingClientRect().left - box(a).left;
    };
    expect("' x' and 'x ' look alike", xOffset(link(" x")) > xOffset(link("x ")));
    expect("'x ' and 'x' look alike", box(link("x ")).width > box(link("x")).width);
    expect("'a  b' and 'a b' look alike", box(link("a  b")).width > box(link("a b")).width);

    // Names that differ only in invisible characters or in their normalisation look different.
    const named = (name) => links.find((a) => decodeURIComponent(a.getAttribute("href")) === name);
    const looks = (a) => box(a).width + " " + view.getComputedStyle(a.firstElementChild || a).backgroundColor;
    for (const [name, lookalike] of [["ab", "a\u200Bb"], ["xx", "x\u00ADx"], ["caf\u00E9", "cafe\u0301"]])
        expect("'" + name + "' has a lookalike", looks(named(name)) !== looks(named(lookalike)));

    // A long name wraps inside its cell.
    const long = links.find((a) => a.textContent.length > 150);
    expect("long name overflows its cell", box(long).right <= box(long.parentElement).right + 0.5);

    const header = page.querySelector("tr");

    // Links and text are readable on the row background in the scheme in force.
    const rgb = (color) => color.match(/[\d.]+/g).slice(0, 3).map(Number);
    const luminance = (color) => {
        const [r, g, b] = rgb(color).map((v) => {
            v /= 255;
            return v <= 0.03928 ? v / 12.92 : ((v + 0.055) / 1.055) ** 2.4;
        });
        return 0.2126 * r + 0.7152 * g + 0.0722 * b;
    };
    const contrast = (a, b) => {
        const [light, dark] = [luminance(a), luminance(b)].sort((x, y) => y - x);
        return (light + 0.05) / (dark + 0.05);
    };
    const canvas = page.body.appendChild(page.createElement("div"));
    canvas.style.background = "Canvas";
    const background = view.getComputedStyle(canvas).backgroundColor;
    const dark = view.matchMedia("(prefers-color-scheme: dark)").matches;
    expect("background does not follow the scheme", (luminance(background) < 0.2) === dark);
    for (const element of [header, link("x")]) {
        const ratio = contrast(view.getComputedStyle(element).color, background);
        expect("contrast " + ratio.toFixed(1) + " of " + element.textContent.trim(), ratio >= 4.5);
    }
    document.title = (dark ? "dark " : "light ") + (failures.length === 0 ? "ok" : failures.join("; "));
}
