// The line of problems under the answers (#form_errors), with how to check
// again whether each still holds: it is brought up to date after every
// change of the form or the drawing, so a message goes as soon as its cause
// is fixed. A check is (change) => the message now, change "form" or
// "drawing".

const shown = { text: "", check: null };

// check: null for a message that goes with the next change of any kind.
export function show_problems(text, check = null) {
    shown.text = text;
    shown.check = text ? check : null;
    document.getElementById("form_errors").textContent = text;
}

export function recheck_problems(change) {
    if (!shown.text) return;
    show_problems(shown.check ? shown.check(change) : "", shown.check);
}

// A message about the picture the server refused: it goes once the
// drawing changes.
export function until_drawing_changes(text) {
    return (change) => (change === "drawing" ? "" : text);
}
