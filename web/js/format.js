// Numbers as the program prints them, and small text helpers.

// printf's "%e": six digits after the point, an exponent of at least two
// digits. JavaScript's toExponential gives "7.69128e+0" style exponents.
export function format_e(value) {
    if (value === null || value === undefined) return "–";
    if (Number.isNaN(value)) return "nan";
    if (!Number.isFinite(value)) return value > 0 ? "inf" : "-inf";
    const [mantissa, exponent] = value.toExponential(6).split("e");
    const sign = exponent.startsWith("-") ? "-" : "+";
    const digits = exponent.replace(/^[+-]/, "").padStart(2, "0");
    return `${mantissa}e${sign}${digits}`;
}

// A short reading for the page: four significant digits and the unit.
export function format_value(value, unit = "") {
    if (value === null || value === undefined || !Number.isFinite(value)) return "–";
    const text = Math.abs(value) >= 1e4 || (Math.abs(value) < 1e-3 && value !== 0)
        ? value.toExponential(3)
        : Number(value.toPrecision(4)).toString();
    return unit ? `${text} ${unit}` : text;
}

export function format_date(iso) {
    if (!iso) return "–";
    const date = new Date(iso);
    return Number.isNaN(date.getTime()) ? iso : date.toLocaleString();
}

export function format_seconds(seconds) {
    if (!Number.isFinite(seconds)) return "–";
    if (seconds < 60) return `${seconds.toFixed(1)} s`;
    return `${Math.floor(seconds / 60)} min ${Math.round(seconds % 60)} s`;
}

// Creates an element with text and attributes, the one DOM helper the
// modules share.
export function element(tag, text = "", attributes = {}) {
    const node = document.createElement(tag);
    if (text) node.textContent = text;
    for (const [name, value] of Object.entries(attributes)) node.setAttribute(name, value);
    return node;
}

// A button that acts only when clicked again within a few seconds: the
// first click asks the question on the button itself.
export function asks_again(button, question, action) {
    const label = button.textContent;
    let timer = 0;
    const disarm = () => {
        clearTimeout(timer);
        delete button.dataset.armed;
        button.textContent = label;
    };
    button.addEventListener("click", () => {
        if (button.dataset.armed) {
            disarm();
            return action();
        }
        button.dataset.armed = "yes";
        button.textContent = question;
        timer = setTimeout(disarm, 3000);
    });
    return button;
}
