(function () {
  "use strict";
  var STORAGE_KEY = "corvane-report-theme";
  var root = document.documentElement;
  var button = document.getElementById("themeToggle");
  var sun = button ? button.querySelector(".ti-sun") : null;
  var moon = button ? button.querySelector(".ti-moon") : null;
  var darkQuery = window.matchMedia ? window.matchMedia("(prefers-color-scheme: dark)") : null;

  // Storage may be unavailable (private modes, some file:// setups).
  function readStored() {
    try {
      return window.localStorage.getItem(STORAGE_KEY);
    } catch (e) {
      return null;
    }
  }

  function store(theme) {
    try {
      window.localStorage.setItem(STORAGE_KEY, theme);
    } catch (e) {
      /* the choice then lasts for this visit only */
    }
  }

  function effectiveTheme() {
    var explicit = root.getAttribute("data-theme");
    if (explicit === "dark" || explicit === "light") return explicit;
    return darkQuery && darkQuery.matches ? "dark" : "light";
  }

  // The icon shows the theme a click switches to.
  function updateButton() {
    if (!button) return;
    var dark = effectiveTheme() === "dark";
    if (sun) sun.style.display = dark ? "block" : "none";
    if (moon) moon.style.display = dark ? "none" : "block";
    button.setAttribute("aria-label", dark ? "Switch to light theme" : "Switch to dark theme");
  }

  var stored = readStored();
  if (stored === "dark" || stored === "light") root.setAttribute("data-theme", stored);
  updateButton();

  if (button) {
    button.addEventListener("click", function () {
      var next = effectiveTheme() === "dark" ? "light" : "dark";
      root.setAttribute("data-theme", next);
      store(next);
      updateButton();
    });
  }

  // Colours follow the system through the style sheet; only the button
  // needs telling, and only while the reader has made no choice.
  if (darkQuery) {
    var onSystemChange = function () {
      if (readStored() === null) updateButton();
    };
    if (darkQuery.addEventListener) darkQuery.addEventListener("change", onSystemChange);
    else if (darkQuery.addListener) darkQuery.addListener(onSystemChange);
  }
})();
