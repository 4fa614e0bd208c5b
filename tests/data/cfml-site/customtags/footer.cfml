<footer>foot</footer>
